#pragma once

#include <string>

namespace kestrune::test {

// Debian's trash-cli, a trash implementation of its own, judges what the program trashed.
bool trashCliPresent();

// The environment that points trash-cli at the home trash dataHome/Trash, as a shell prefix.
std::string trashCliEnvironment(const std::string& dataHome);

// What `trash-list` prints for that home trash (and the top-folder trashes it finds).
std::string trashList(const std::string& dataHome);

}  // namespace kestrune::test
