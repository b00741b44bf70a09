#include <windows.h>

#include "platform/file_support_windows.h"
#include "platform/program_folder.h"

namespace kestrune {

std::string programFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD got = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (got == 0) return ".\\";
        if (got < path.size()) {
            path.resize(got);
            break;
        }
        path.resize(path.size() * 2);  // cut short: a path longer than the buffer
    }
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        path = L"\\" + path.substr(7);
    } else if (path.rfind(L"\\\\?\\", 0) == 0) {
        path = path.substr(4);
    }
    return windows::utf8(path.substr(0, path.find_last_of(L'\\') + 1));
}

}  // namespace kestrune
