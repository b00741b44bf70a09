#include <windows.h>

#include "platform/file_io.h"
#include "platform/file_support_windows.h"
#include "platform/login_start.h"

namespace kestrune {

namespace {

constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t* kValueName = L"Kestrune";

std::string registryError(LSTATUS status) {
    return systemErrorText(windows::errorCode(static_cast<DWORD>(status)));
}

}  // namespace

std::string loginStartPath() {
    return "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Kestrune";
}

bool startsAtLogin() {
    return RegGetValueW(HKEY_CURRENT_USER, kRunKey, kValueName, RRF_RT_REG_SZ, nullptr, nullptr,
                        nullptr) == ERROR_SUCCESS;
}

// The command line Windows starts: the program quoted, as paths with blanks need, then the
// option; "/" written by a toolkit becomes "\".
std::string loginStartEntry(const std::string& executable) {
    std::string path = executable;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return "\"" + path + "\" --hidden";
}

std::string setStartAtLogin(bool on, const std::string& executable) {
    if (!on) {
        const LSTATUS status = RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, kValueName);
        if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) return {};
        return registryError(status);
    }
    const std::wstring entry = windows::wide(loginStartEntry(executable));
    const LSTATUS status =
        RegSetKeyValueW(HKEY_CURRENT_USER, kRunKey, kValueName, REG_SZ, entry.c_str(),
                        static_cast<DWORD>((entry.size() + 1) * sizeof(wchar_t)));
    return status == ERROR_SUCCESS ? std::string() : registryError(status);
}

}  // namespace kestrune
