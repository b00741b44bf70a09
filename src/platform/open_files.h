#pragma once

#include <cstdint>
#include <vector>

namespace kestrune {

// The files that some process this user can see holds open for writing, as one look at
// the system taken at one moment. A run takes one and asks it about each entry.
class OpenForWriting {
  public:
    OpenForWriting() = default;
    // Holds the (device, inode) pairs given, in any order.
    explicit OpenForWriting(std::vector<std::pair<std::uint64_t, std::uint64_t>> files);

    bool contains(std::uint64_t device, std::uint64_t inode) const;
    std::size_t size() const { return files_.size(); }

  private:
    std::vector<std::pair<std::uint64_t, std::uint64_t>> files_;  // sorted, unique
};

// Looks once at every open descriptor of every process whose descriptors this user may
// read, the caller's own included. Processes that end meanwhile or are not ours are passed.
OpenForWriting scanOpenForWriting();

}  // namespace kestrune
