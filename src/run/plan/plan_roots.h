#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "run/plan/run_plan.h"

namespace kestrune {

// The root of a folder the user named, found now: links at or above it are followed, as a
// user expects of ~/Downloads leading to another disk. A folder that does not exist yet is
// reached from the nearest folder above it that does (the run makes the rest).
PlanRoot rootOf(const std::string& folder);

// The index of the deepest root at or above the path, or nullopt when none is.
std::optional<std::size_t> rootIndexOf(const std::vector<PlanRoot>& roots, std::string_view path);

// The path as a root's path spells it: without trailing "/", "" for "/".
std::string rootKey(std::string_view path);

// The message of a path that lies outside every folder of the plan.
std::string outsideMessage(const std::string& path);

}  // namespace kestrune
