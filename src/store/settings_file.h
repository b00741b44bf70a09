#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kestrune {

class FileIo;
class ProfileText;
class SettingsPatch;

// Setting.cfg: the window position and one section per task, in INI form.
// Nothing is cached: every read looks at the file as it is now, and every write
// replaces the file at once, atomically, keeping all that it did not change.
// Section and key names match without regard to ASCII letter case.
class SettingsFile {
  public:
    // Keeps the path; the file is not touched, may be missing, and is created by the first write.
    explicit SettingsFile(std::string path);
    // The same, on a disk of the caller's choosing (tests put a failing one under it).
    SettingsFile(std::string path, const FileIo& io);

    const std::string& path() const { return path_; }

    // Reading never fails: a missing file, section or key gives the default.
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view fallback) const;
    std::int32_t readInteger(std::string_view section, std::string_view key,
                             std::int32_t fallback) const;
    bool readBool(std::string_view section, std::string_view key, bool fallback) const;

    // Throw SettingsWriteError ("Unable to write to <path>") when the file cannot be replaced.
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInteger(std::string_view section, std::string_view key, std::int32_t value);
    void eraseSection(std::string_view section);

    // True when the section holds at least one key.
    bool sectionExists(std::string_view section) const;

    // Runs the change (writes and erases through this object) and returns what it did to the
    // file's bytes. The change's errors pass through.
    SettingsPatch tracked(const std::function<void()>& change);
    // Takes a tracked change back. False, writing nothing, when the file has since changed
    // where the patch lies. Throws SettingsWriteError when the file cannot be replaced.
    bool revert(const SettingsPatch& patch);
    // Adds the text at the end of the file, on a line of its own. Throws SettingsWriteError.
    void append(const std::string& text);

    // Writes reach the disk as they happen, so closing only ends the object's use.
    void close();

  private:
    std::string bytes() const;
    void storeBytes(const std::string& bytes);
    ProfileText load() const;
    ProfileText loadForChange() const;
    void store(const ProfileText& text);

    std::string path_;
    const FileIo* io_;
};

}  // namespace kestrune
