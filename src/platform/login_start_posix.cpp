#include "platform/login_start.h"

#include <filesystem>
#include <system_error>

#include "platform/file_io.h"
#include "platform/user_folders.h"

namespace kestrune {

namespace {

// An Exec argument: quoted when it holds a character the desktop would split or expand, and
// with "%" doubled, as the desktop entry rules say; then escaped once more as any string
// value of the file, so each escaping backslash is itself doubled.
std::string execArgument(const std::string& argument) {
    const bool quote = argument.find_first_of(" \t\n\"'\\><~|&;$*?#()`=") != std::string::npos;
    std::string exec = quote ? "\"" : "";
    for (const char c : argument) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) exec += '\\';
        if (c == '%') exec += '%';
        exec += c;
    }
    if (quote) exec += '"';
    std::string value;
    for (const char c : exec) {
        switch (c) {
            case '\\':
                value += "\\\\";
                break;
            case '\n':
                value += "\\n";
                break;
            case '\t':
                value += "\\t";
                break;
            default:
                value += c;
        }
    }
    return value;
}

}  // namespace

std::string loginStartPath() {
    return userConfigHome().path + "autostart/kestrune.desktop";
}

bool startsAtLogin() {
    return isRegularFile(loginStartPath());
}

std::string loginStartEntry(const std::string& executable) {
    const std::string exec = "Exec=" + execArgument(executable) + " --hidden\n";
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Kestrune\n"
           "Comment=Clears folders out by stored rules\n" +
           exec +
           "Icon=kestrune\n"
           "Terminal=false\n";
}

std::string setStartAtLogin(bool on, const std::string& executable) {
    const std::filesystem::path path = loginStartPath();
    std::error_code error;
    if (!on) {
        std::filesystem::remove(path, error);
        return error ? error.message() : std::string();
    }
    std::filesystem::create_directories(path.parent_path(), error);
    if (error) return error.message();
    return systemFileIo().replace(path.string(), loginStartEntry(executable));
}

}  // namespace kestrune
