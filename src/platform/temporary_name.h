#pragma once

#include <string>
#include <string_view>

namespace kestrune {

// The names a run writes a copy under before renaming it into place, in the target folder:
// the prefix and six letters or digits. A killed run may leave such files behind; no walk
// ever selects them, and a later recovery removes them.
inline constexpr std::string_view kTemporaryPrefix = ".kestrune-tmp-";

bool isTemporaryName(std::string_view name);

// A fresh name of that pattern.
std::string newTemporaryName();

}  // namespace kestrune
