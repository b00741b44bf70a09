#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace kestrune {

// Asks the system about one file at a time, where it keeps no list of open files to look at
// (Windows: a file that cannot be opened denying writers is being written).
class OpenFileProbe {
  public:
    virtual ~OpenFileProbe() = default;
    virtual bool openForWriting(std::uint64_t device, std::uint64_t inode) const = 0;
};

// The files that some process this user can see holds open for writing, as one look at
// the system taken at one moment. A run takes one and asks it about each entry.
class OpenForWriting {
  public:
    OpenForWriting() = default;
    // Holds the (device, inode) pairs given, in any order.
    explicit OpenForWriting(std::vector<std::pair<std::uint64_t, std::uint64_t>> files);
    // Asks the probe about each file when asked.
    explicit OpenForWriting(std::shared_ptr<const OpenFileProbe> probe);

    bool contains(std::uint64_t device, std::uint64_t inode) const;
    std::size_t size() const { return files_.size(); }

  private:
    std::vector<std::pair<std::uint64_t, std::uint64_t>> files_;  // sorted, unique
    std::shared_ptr<const OpenFileProbe> probe_;
};

// Looks once at every open descriptor of every process whose descriptors this user may
// read, the caller's own included. Processes that end meanwhile or are not ours are passed.
// On Windows, which lists no other process's files, it makes a probe of every volume with a
// drive letter instead: the device is a volume's serial number, the inode a file's id there.
OpenForWriting scanOpenForWriting();

}  // namespace kestrune
