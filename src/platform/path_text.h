#pragma once

#include <string>
#include <string_view>

namespace kestrune {

// How this system writes paths: the separator it prints, and those it takes ("/" everywhere,
// "\" too on Windows).
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

inline bool isPathSeparator(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

// Begins at a root: "/"; on Windows a drive's ("C:\", "C:/") or a share's ("\\server\share").
inline bool isAbsolutePathText(std::string_view path) {
#ifdef _WIN32
    const bool drive = path.size() >= 3 && path[1] == ':' && isPathSeparator(path[2]) &&
                       ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return drive || (path.size() >= 2 && isPathSeparator(path[0]) && isPathSeparator(path[1]));
#else
    return !path.empty() && path.front() == '/';
#endif
}

// The folder with a separator at its end, the system's own when it had none.
inline std::string withSeparator(std::string folder) {
    if (folder.empty() || !isPathSeparator(folder.back())) folder += kPathSeparator;
    return folder;
}

// Whether path begins with prefix, names compared as the system's file systems compare them
// by default: byte for byte, or on Windows without regard to letter case and with either
// separator.
bool pathStartsWith(const std::string& path, const std::string& prefix);

// Why an entry of this system cannot take that name, or empty. On Windows: a device's name
// (CON, PRN, AUX, NUL, COM1-9, LPT1-9, also with an extension: aux.txt), a trailing dot or
// blank, a character Windows refuses (<>:"/\|?* and control characters), which it would
// otherwise change or take for something else. Never changed silently: the entry fails.
std::string nameProblem(std::string_view name);

}  // namespace kestrune
