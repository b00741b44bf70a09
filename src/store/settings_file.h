#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "store/profile_text.h"
#include "store/settings_patch.h"

namespace kestrune {

class FileIo;

// The settings file as one reading found it: every value read from it belongs to the same
// state of the file, whatever is written meanwhile.
class SettingsSnapshot {
  public:
    explicit SettingsSnapshot(ProfileText text) : text_(std::move(text)) {}

    // A missing section or key gives the default.
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view fallback) const;
    std::int32_t readInteger(std::string_view section, std::string_view key,
                             std::int32_t fallback) const;
    bool readBool(std::string_view section, std::string_view key, bool fallback) const;
    // True when the section holds at least one key.
    bool sectionExists(std::string_view section) const;
    // Every section that holds a key, by its name as profileNameKey gives it.
    std::unordered_set<std::string> sectionsWithKeys() const { return text_.sectionsWithKeys(); }

  private:
    ProfileText text_;
};

// Changes that reach the settings file together, in one replace, in the order given.
class SettingsEdit {
  public:
    SettingsEdit& writeString(std::string_view section, std::string_view key,
                              std::string_view value);
    SettingsEdit& writeInteger(std::string_view section, std::string_view key, std::int32_t value);
    SettingsEdit& eraseSection(std::string_view section);
    // Erases the section only when it holds a key: a bare header stays.
    SettingsEdit& eraseSectionWithKeys(std::string_view section);
    // Makes the section `to` hold exactly the keys of `from` as they read (a key without a
    // value stays one); nothing when `from` holds no key or names the same section.
    SettingsEdit& copySection(std::string_view from, std::string_view to);

    bool empty() const { return changes_.empty(); }

  private:
    friend class SettingsFile;
    enum class Kind { Write, Erase, EraseWithKeys, Copy };
    struct Change {
        Kind kind;
        std::string section;
        std::string key;  // the source section for Copy
        std::string value;
    };
    std::vector<Change> changes_;
};

// Edits made together by SettingsFile::trackedEach, with the file's bytes before and after
// them, from which each edit's change can be found again.
struct TrackedEdits {
    std::string before;
    std::string after;
    std::vector<SettingsEdit> edits;
};

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

    // One reading of the file. Reading never fails: a missing or unreadable file reads empty.
    SettingsSnapshot snapshot() const;
    // Each reads the file once, as snapshot() does.
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view fallback) const;
    std::int32_t readInteger(std::string_view section, std::string_view key,
                             std::int32_t fallback) const;
    bool readBool(std::string_view section, std::string_view key, bool fallback) const;
    bool sectionExists(std::string_view section) const;

    // Makes every change of the edit in one replace of the file. Throws SettingsWriteError
    // ("Unable to write to <path>") when the file cannot be replaced or a change cannot be
    // stored; the file is then exactly as it was.
    void apply(const SettingsEdit& edit);
    // apply() with a single change.
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInteger(std::string_view section, std::string_view key, std::int32_t value);
    void eraseSection(std::string_view section);

    // Runs the change (writes and erases through this object) and returns what it did to the
    // file's bytes. The change's errors pass through.
    SettingsPatch tracked(const std::function<void()>& change);
    // Makes the edits one after another, all in one replace of the file, and keeps what is
    // needed to take each back on its own. Throws SettingsWriteError as apply() does; the file
    // is then exactly as it was.
    TrackedEdits trackedEach(std::vector<SettingsEdit> edits);
    // Takes a tracked change back. False, writing nothing, when the file has since changed
    // where the patch lies. Throws SettingsWriteError when the file cannot be replaced.
    bool revert(const SettingsPatch& patch);
    // Takes tracked edits back in one replace: the file as it was before them when nothing has
    // changed it since; else each edit's change, the last first, where the file still holds it
    // in its old surroundings, or else the bytes it took out at the end of the file: moved, but
    // never lost. Throws SettingsWriteError; nothing is then taken back.
    void restore(const TrackedEdits& tracked);

    // Writes reach the disk as they happen, so closing only ends the object's use.
    void close();

  private:
    void check(const SettingsEdit& edit) const;
    static bool applyTo(ProfileText& text, const SettingsEdit& edit);
    static std::vector<SettingsPatch> patchesOf(const TrackedEdits& tracked);
    std::string bytes() const;
    void storeBytes(const std::string& bytes);
    [[noreturn]] void refuse() const;

    std::string path_;
    const FileIo* io_;
};

}  // namespace kestrune
