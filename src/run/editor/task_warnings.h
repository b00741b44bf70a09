#pragma once

#include <string>
#include <vector>

namespace kestrune {

struct TaskRecord;

// What a task as entered would do that its author most likely did not mean. The editor shows
// these and still saves: each is allowed, only unusual.

// About the filter pieces: a piece without a dot (other than "*") selects the names without
// an extension; a "," or a blank inside a piece is never a separator.
std::vector<std::string> filterWarnings(const std::string& filters);

// About the folders, as they are on disk now: a source that does not exist, and for a move or
// a copy a target inside the source.
std::vector<std::string> folderWarnings(const TaskRecord& record);

}  // namespace kestrune
