#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kestrune {

// A whole file's content, or why it could not be had.
struct FileContent {
    enum class Status { Ok, Missing, Failed };
    Status status = Status::Ok;
    std::string bytes;
    std::string error;  // the system's error text when status is not Ok

    bool ok() const { return status == Status::Ok; }
};

// The store's only way to the disk, so that tests can put a failing disk under it.
class FileIo {
  public:
    virtual ~FileIo() = default;

    virtual FileContent read(const std::string& path) const = 0;

    // The file handed on piece by piece as it is read, for a file too long to hold whole:
    // the status and error as read() gives them, with no bytes.
    using PieceTaker = std::function<void(std::string_view piece)>;
    virtual FileContent readPieces(const std::string& path, const PieceTaker& take) const {
        FileContent content = read(path);
        if (content.ok()) take(content.bytes);
        content.bytes.clear();
        return content;
    }

    // Replaces the file by content so that the old file stays whole until the new one is
    // complete on disk: after a crash, a kill or a full disk a reader finds one or the other,
    // never a mix or an empty file. Folders missing above the file are made first.
    // Returns the system's error text, empty on success.
    virtual std::string replace(const std::string& path, std::string_view content) const = 0;
};

// An open file as the system names it: a descriptor, or on Windows a HANDLE.
#ifdef _WIN32
using NativeFile = void*;
#else
using NativeFile = int;
#endif

// The real disk: a temporary file in the same folder, written, flushed, renamed over the
// old file, then the folder flushed so the rename itself survives a power cut.
class SystemFileIo : public FileIo {
  public:
    FileContent read(const std::string& path) const override;
    FileContent readPieces(const std::string& path, const PieceTaker& take) const override;
    std::string replace(const std::string& path, std::string_view content) const override;

  protected:
    // One write of at most size bytes: the count written, or -1 with errno set. A test
    // overrides it to make the disk fill up part-way.
    virtual std::int64_t writeSome(NativeFile file, const char* data, std::size_t size) const;

  private:
    static constexpr std::size_t kPiece = 256 * 1024;  // read at once

    std::string writeAll(NativeFile file, std::string_view content) const;
};

const FileIo& systemFileIo();

// The system's text for an errno value (on Windows also for the codes its platform code
// gives Windows errors), without the trailing blanks, line breaks and full stops, ready to follow
// ". ".
std::string systemErrorText(int code);

// Makes a folder of the state (the history) with the missing ones above it, private to the
// user. Returns the system's error text, empty on success.
std::string makeStateFolders(const std::string& folder);

// True for a regular file (or a link to one); false for a folder or nothing.
bool isRegularFile(const std::string& path);

}  // namespace kestrune
