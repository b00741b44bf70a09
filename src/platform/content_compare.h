#pragma once

#include <string>

namespace kestrune {

// Whether two regular files hold the same bytes.
struct ContentComparison {
    enum class Outcome { Same, Different, Failed };
    Outcome outcome = Outcome::Different;
    std::string error;  // why a file could not be read, when Failed

    bool same() const { return outcome == Outcome::Same; }
};

// Same size first, then the bytes, read from both in large blocks up to the first
// difference. Anything but two regular files (a folder, a link, a device) is Different; a
// link is not followed.
ContentComparison compareContent(const std::string& first, const std::string& second);

}  // namespace kestrune
