#pragma once

#include <string>

namespace kestrune::test {

// Makes a symbolic link at `link` to `target`; false where this system or this user cannot
// (Windows lets only some users make links, Wine makes none while saying it did).
bool makeLink(const std::string& target, const std::string& link);

}  // namespace kestrune::test
