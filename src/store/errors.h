#pragma once

#include <stdexcept>
#include <string>

namespace kestrune {

// Every error the store raises. what() is the message exactly as the user is shown it.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "Unable to write to %s": a settings write or section erase did not reach the disk.
class SettingsWriteError : public Error {
public:
    using Error::Error;
};

// "Cannot open file "%s". %s", "Invalid level (%d) for item "%s"" and
// "Cannot create file "%s". %s": the tree file could not be read or written.
class TreeFileError : public Error {
public:
    using Error::Error;
};

}  // namespace kestrune
