#include <windows.h>

#include "platform/file_support_windows.h"
#include "platform/path_text.h"

namespace kestrune {

namespace {

std::wstring withBackslashes(const std::string& path) {
    std::wstring text = windows::wide(path);
    for (wchar_t& c : text) {
        if (c == L'/') c = L'\\';
    }
    return text;
}

}  // namespace

// The system's own case-insensitive comparison of names, which folds more than ASCII.
bool pathStartsWith(const std::string& path, const std::string& prefix) {
    const std::wstring whole = withBackslashes(path);
    const std::wstring start = withBackslashes(prefix);
    if (start.size() > whole.size()) return false;
    if (start.empty()) return true;
    return CompareStringOrdinal(whole.data(), static_cast<int>(start.size()), start.data(),
                                static_cast<int>(start.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace kestrune
