#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace kestrune::test {

// Paths cross the program in UTF-8; std::filesystem takes a narrow string in the system's
// code page on Windows, so the tests convert through these.
inline std::filesystem::path pathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
inline std::string textOf(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// A fresh, empty folder for one test, removed with everything in it afterwards.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The folder as a string ending with the system's separator, as the program folder is given.
    std::string folder() const {
        return textOf(path_) + static_cast<char>(std::filesystem::path::preferred_separator);
    }
    std::string file(const std::string& name) const { return textOf(path_ / pathOf(name)); }

  private:
    std::filesystem::path path_;
};

// Test fixture giving each test its own scratch folder.
class ScratchTest : public ::testing::Test {
  protected:
    ScratchDir scratch;
};

// An environment variable set for a scope, and as it was again afterwards.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const std::string& value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

  private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

// Removes the folder with everything in it, read-only entries too (which Windows keeps).
void removeTree(const std::string& path);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);
// writeFile that first creates every missing folder above the file.
void makeFile(const std::filesystem::path& path, const std::string& content = "");
inline void makeFile(const std::string& path, const std::string& content = "") {
    makeFile(pathOf(path), content);
}
// Dates the entry's last change at that many nanoseconds since 1970 (UTC); a symbolic link's
// target is dated.
void setModifiedNs(const std::string& path, std::int64_t ns);

}  // namespace kestrune::test
