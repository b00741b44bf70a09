#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

// Path and string rules of a task run. Paths are byte strings; "/" separates, and on Windows
// "\" too (platform/path_text.h).

// Up to and including the last separator; empty when there is none.
std::string folderPart(std::string_view path);
// The same, as a view into the path.
std::string_view folderOf(std::string_view path);
// After the last separator: the entry's own name.
std::string namePart(std::string_view path);
// The same, as a view into the path.
std::string_view nameOf(std::string_view path);
// From the last "." to the end when that dot comes after the last separator; else empty.
// a.b.txt gives .txt, README gives "", .profile gives .profile, old.d/file gives "".
std::string extensionPart(std::string_view path);
// The same, as a view into the path.
std::string_view extensionOf(std::string_view path);
// Lowers nothing and raises a-z only: bytes outside ASCII stay as they are.
std::string upperAscii(std::string_view text);
// The non-empty pieces between delimiters, in order and untrimmed.
std::vector<std::string> split(std::string_view text, char delimiter);
// Without leading and trailing blanks (spaces and tabs).
std::string_view trimBlanks(std::string_view text);
// Begins at a root ("/"; on Windows "C:\" or "\\server\share"): the only kind of folder a
// task may name.
bool isAbsolutePath(std::string_view path);
// The folder followed by one "/", unless it ends with one already: the walk's first folder.
std::string sourceRootOf(const std::string& folder);
// The two end to end, made in one allocation (a + b makes two): a run joins a folder and a
// name for every entry.
std::string joined(std::string_view first, std::string_view second);
// Without trailing separators; "/" itself gives "".
std::string withoutTrailingSlashes(std::string_view path);
// The same, as a view into the path.
std::string_view withoutTrailingSlashesOf(std::string_view path);
// Whether the path is the folder (spelt without its trailing separator) or lies below it.
bool isAtOrBelow(std::string_view path, std::string_view folder);
// Where the first separator at or after `from` stands; npos when none does.
std::size_t separatorFrom(std::string_view path, std::size_t from);

}  // namespace kestrune
