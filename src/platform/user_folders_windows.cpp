#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <atomic>
#include <cstdlib>

#include "platform/file_support_windows.h"
#include "platform/path_text.h"
#include "platform/user_folders.h"

namespace kestrune {

namespace {

std::string knownFolder(REFKNOWNFOLDERID id) {
    wchar_t* path = nullptr;
    std::string folder;
    if (SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path) == S_OK) {
        folder = windows::utf8(path);
    }
    CoTaskMemFree(path);
    return folder.empty() ? folder : withSeparator(folder);
}

bool isAbsolute(const std::wstring& path) {
    const bool drive = path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
    const bool unc = path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\';
    return drive || unc;
}

}  // namespace

// A relative %APPDATA% is passed over: it would depend on the working folder.
ConfigHome userConfigHome() {
    if (const wchar_t* appData = _wgetenv(L"APPDATA"); appData != nullptr && isAbsolute(appData)) {
        return {withSeparator(windows::utf8(appData)), "%APPDATA%"};
    }
    return {knownFolder(FOLDERID_RoamingAppData), "%APPDATA%"};
}

std::vector<std::string> systemProgramFolders() {
    std::vector<std::string> folders;
    for (const KNOWNFOLDERID& id : {FOLDERID_ProgramFiles, FOLDERID_ProgramFilesX86}) {
        const std::string folder = knownFolder(id);
        if (!folder.empty()) folders.push_back(folder);
    }
    return folders;
}

// Asking the system's access rules would miss what a share or a read-only medium refuses:
// a file is made, and goes again when it is closed.
bool folderWritable(const std::string& folder) {
    static std::atomic<unsigned> counter{0};
    const std::string probe = withSeparator(folder) + ".kestrune-write-test-" +
                              std::to_string(GetCurrentProcessId()) + "-" +
                              std::to_string(counter++);
    const windows::Handle file(
        CreateFileW(windows::systemPath(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return file.valid();
}

}  // namespace kestrune
