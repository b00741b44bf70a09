#pragma once

#include <string>
#include <string_view>

namespace kestrune {

// A file that only grows at its end, for records that must outlive a crash. Each call
// returns 0 or an errno value.
class AppendFile {
  public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(AppendFile&& other) noexcept;
    AppendFile& operator=(AppendFile&& other) noexcept;
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Creates the file, private to this user, failing with EEXIST when the name is taken.
    // The new name is flushed into its folder, so a crash cannot lose the file itself.
    int create(const std::string& path);
    // Opens an existing file to go on with it, first cutting off a last line that a kill or
    // a power cut left without its line feed, so what follows starts a line of its own.
    int openAfterLastLine(const std::string& path);
    int append(std::string_view data);
    // Puts everything appended so far on disk.
    int syncData();

  private:
    int fd_ = -1;
};

// Removes such a file by its name; 0 or an errno value.
int removeAppendFile(const std::string& path);

}  // namespace kestrune
