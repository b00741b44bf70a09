#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace kestrune {

// An open folder. The walk and the file actions name entries within it, never through a
// path, so a folder swapped for a link or for another folder after it was opened is never
// followed.
class FolderHandle {
  public:
    FolderHandle(int fd, std::string path, std::uint64_t device)
        : fd_(fd), path_(std::move(path)), device_(device) {}
    ~FolderHandle();
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    int fd() const { return fd_; }
    const std::string& path() const { return path_; }  // ends with "/"; for messages
    std::uint64_t device() const { return device_; }

  private:
    int fd_;
    std::string path_;
    std::uint64_t device_;
};
using OpenFolder = std::shared_ptr<const FolderHandle>;

}  // namespace kestrune
