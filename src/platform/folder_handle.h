#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace kestrune {

// Identifies a folder on this machine whatever path spells it.
struct FolderId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FolderId&) const = default;
};

// The system's handle of an open folder: a descriptor here, a HANDLE on Windows.
#ifdef _WIN32
using NativeHandle = void*;
#else
using NativeHandle = int;
#endif

// An open folder. The walk and the file actions name entries within it, never through a
// path, so a folder swapped for a link or for another folder after it was opened is never
// followed.
class FolderHandle {
  public:
    FolderHandle(NativeHandle handle, std::string path, FolderId id)
        : handle_(handle), path_(std::move(path)), id_(id) {}
    ~FolderHandle();
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    NativeHandle native() const { return handle_; }
#ifndef _WIN32
    int fd() const {
        return handle_;
    }
#endif
    const std::string& path() const {
        return path_;
    }  // ends with "/"; for messages
    std::uint64_t device() const {
        return id_.device;
    }
    const FolderId& id() const {
        return id_;
    }

  private:
    NativeHandle handle_;
    std::string path_;
    FolderId id_;
};
using OpenFolder = std::shared_ptr<const FolderHandle>;

}  // namespace kestrune
