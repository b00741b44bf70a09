#include "run/plan/path_rules.h"

#include "platform/path_text.h"

namespace kestrune {

std::string folderPart(std::string_view path) {
    return std::string(folderOf(path));
}

std::string_view folderOf(std::string_view path) {
    std::size_t slash = path.size();
    while (slash > 0 && !isPathSeparator(path[slash - 1])) --slash;
    return path.substr(0, slash);
}

std::string namePart(std::string_view path) {
    return std::string(nameOf(path));
}

std::string_view nameOf(std::string_view path) {
    return path.substr(folderOf(path).size());
}

std::string extensionPart(std::string_view path) {
    return std::string(extensionOf(path));
}

// Looked for in every name a walk lists: one pass from the end, rather than a search of
// the two characters at every position.
std::string_view extensionOf(std::string_view path) {
    for (std::size_t i = path.size(); i-- > 0;) {
        if (isPathSeparator(path[i])) break;
        if (path[i] == '.') return path.substr(i);
    }
    return {};
}

std::string joined(std::string_view first, std::string_view second) {
    std::string result;
    result.reserve(first.size() + second.size());
    result.append(first).append(second);
    return result;
}

std::string upperAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
    }
    return result;
}

std::vector<std::string> split(std::string_view text, char delimiter) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto end = text.find(delimiter, start);
        if (end == std::string_view::npos) end = text.size();
        if (end > start) pieces.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool isAbsolutePath(std::string_view path) {
    return isAbsolutePathText(path);
}

std::string withoutTrailingSlashes(std::string_view path) {
    return std::string(withoutTrailingSlashesOf(path));
}

std::string_view withoutTrailingSlashesOf(std::string_view path) {
    while (!path.empty() && isPathSeparator(path.back())) path.remove_suffix(1);
    return path;
}

bool isAtOrBelow(std::string_view path, std::string_view folder) {
    return path.size() >= folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           (path.size() == folder.size() || isPathSeparator(path[folder.size()]));
}

std::size_t separatorFrom(std::string_view path, std::size_t from) {
    for (std::size_t at = from; at < path.size(); ++at) {
        if (isPathSeparator(path[at])) return at;
    }
    return std::string_view::npos;
}

std::string sourceRootOf(const std::string& folder) {
    return !folder.empty() && isPathSeparator(folder.back()) ? folder : folder + "/";
}

}  // namespace kestrune
