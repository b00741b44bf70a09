#pragma once

#include <cstddef>
#include <string>

namespace kestrune {

// The two ends of a file, for a reader of a long file that needs only its first and last
// lines. A file no longer than both ends together comes whole, in head.
struct FileEnds {
    bool ok = false;
    bool whole = false;
    std::string head;
    std::string tail;
    std::string error;  // the system's error text when not ok
};

FileEnds readFileEnds(const std::string& path, std::size_t bytesAtEachEnd);

}  // namespace kestrune
