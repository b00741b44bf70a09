#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace kestrune::test {

// A fresh, empty folder for one test, removed with everything in it afterwards.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The folder as a string ending with "/", as the program folder is given.
    std::string folder() const { return path_.string() + "/"; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

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

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);
// writeFile that first creates every missing folder above the file.
void makeFile(const std::filesystem::path& path, const std::string& content = "");

}  // namespace kestrune::test
