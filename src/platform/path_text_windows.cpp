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

std::string nameProblem(std::string_view name) {
    const std::string quoted = "the name \"" + std::string(name) + "\" cannot be used on Windows: ";
    if (name.empty() || name == "." || name == "..") return quoted + "it names no entry";
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) return quoted + "it holds a control character";
        if (std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos) {
            return quoted + "it holds '" + c + "'";
        }
    }
    if (name.back() == '.') return quoted + "it ends with a dot";
    if (name.back() == ' ') return quoted + "it ends with a blank";
    // A device's name stays one before any extension and blanks.
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    std::string upper(stem);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    static const char* const devices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    bool device = false;
    for (const char* reserved : devices) device = device || upper == reserved;
    // COM1-9 and LPT1-9, also with the superscript digits 1, 2, 3 (UTF-8 C2 B9, C2 B2, C2 B3).
    const std::string_view kind = std::string_view(upper).substr(0, 3);
    if (kind == "COM" || kind == "LPT") {
        const std::string_view digit = std::string_view(upper).substr(3);
        device = device || (digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9') ||
                 digit == "\xc2\xb9" || digit == "\xc2\xb2" || digit == "\xc2\xb3";
    }
    if (device) return quoted + std::string(stem) + " is the name of a device";
    return {};
}

}  // namespace kestrune
