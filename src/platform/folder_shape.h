#pragma once

#include <cstdint>

namespace kestrune {

// What a folder looked like besides its content: an undo that makes again a folder its run
// removed gives it back its mode and times.
struct FolderShape {
    std::uint32_t mode = 0;  // permission bits
    std::int64_t accessedNs = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const FolderShape&) const = default;
};

}  // namespace kestrune
