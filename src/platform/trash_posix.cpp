#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <vector>

#include "platform/file_support_posix.h"
#include "platform/trash.h"

namespace kestrune {

namespace {

using posix::folderOf;

constexpr std::size_t kNameMax = 255;
constexpr std::string_view kInfoSuffix = ".trashinfo";
const std::string kInfoHeading = "[Trash Info]";

// The path as a URL path: every byte but letters, digits, "-_.~" and "/" as %XX.
std::string percentEncoded(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') || c == '-' || c == '_' || c == '.' ||
                           c == '~' || c == '/';
        if (plain) {
            out += c;
        } else {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 15];
        }
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string percentDecoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Local time without a zone, as the trash rules want it.
std::string deletionDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

bool deviceOf(const std::string& path, dev_t& device) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return false;
    device = st.st_dev;
    return true;
}

// The home trash may not exist yet: its file system is that of its nearest existing folder,
// through any link the user keeps it behind.
dev_t homeDevice(std::string path) {
    struct stat st {};
    while (::stat(path.c_str(), &st) != 0 && path != "/" && path != ".") path = folderOf(path);
    return st.st_dev;
}

// The folder that the file system holding `folder` is mounted on.
std::string topFolderOf(const std::string& folder, dev_t device) {
    std::string top = folder.empty() ? "/" : folder;
    for (;;) {
        const std::string up = folderOf(top);
        dev_t upDevice = 0;
        if (top == "/" || !deviceOf(up, upDevice) || upDevice != device) return top;
        top = up;
    }
}

// A trash folder that is this user's own and no link, or that this user may make.
bool usable(const std::string& folder) {
    struct stat st {};
    if (::lstat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
    return errno == ENOENT && ::access(folderOf(folder).c_str(), W_OK | X_OK) == 0;
}

std::string joinedPath(const std::string& folder, const std::string& name) {
    return (folder == "/" ? "" : folder) + "/" + name;
}

}  // namespace

TrashChoice chooseTrash(const std::string& realFolder, std::uint64_t device,
                        const std::string& homeTrash) {
    const auto dev = static_cast<dev_t>(device);
    if (dev == homeDevice(homeTrash)) return {homeTrash, {}};
    const std::string top = topFolderOf(realFolder, dev);
    const std::string uid = std::to_string(::getuid());
    struct stat shared {};
    const std::string sharedTrash = joinedPath(top, ".Trash");
    if (::lstat(sharedTrash.c_str(), &shared) == 0 && S_ISDIR(shared.st_mode) &&
        (shared.st_mode & S_ISVTX) != 0 && usable(sharedTrash + "/" + uid)) {
        return {sharedTrash + "/" + uid, top};
    }
    const std::string own = joinedPath(top, ".Trash-" + uid);
    if (usable(own)) return {own, top};
    return {homeTrash, {}};
}

std::string homeTrashFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/') return std::string(data) + "/Trash";
    const char* home = std::getenv("HOME");
    std::string homeFolder = home != nullptr && home[0] == '/' ? home : "";
    if (homeFolder.empty()) {
        const passwd* user = ::getpwuid(::getuid());
        if (user != nullptr && user->pw_dir != nullptr) homeFolder = user->pw_dir;
    }
    return homeFolder + "/.local/share/Trash";
}

std::string trashFilesFolder(const std::string& trashFolder) {
    return trashFolder + "/files";
}

std::string trashInfoFolder(const std::string& trashFolder) {
    return trashFolder + "/info";
}

std::string trashFolderOf(const std::string& filesFolder) {
    return folderOf(filesFolder);
}

// The entry's own name, or with "_2", "_3"... before its extension, cut so that the
// .trashinfo's name still fits.
TrashNames trashNames(const std::string& name, int attempt) {
    std::string stem = name;
    std::string extension;
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0 && name.size() - dot <= 16) {
        stem = name.substr(0, dot);
        extension = name.substr(dot);
    }
    const std::string suffix = attempt <= 1 ? "" : "_" + std::to_string(attempt);
    const std::size_t room = kNameMax - kInfoSuffix.size() - suffix.size() - extension.size();
    if (stem.size() > room) {
        stem.resize(room);
        // Do not leave half a UTF-8 character at the cut.
        while (!stem.empty() && (static_cast<unsigned char>(stem.back()) & 0xC0) == 0x80) {
            stem.pop_back();
        }
        if (!stem.empty() && (static_cast<unsigned char>(stem.back()) & 0x80) != 0) {
            stem.pop_back();
        }
    }
    const std::string file = stem + suffix + extension;
    return {file, trashInfoName(file)};
}

std::string trashInfoName(const std::string& trashedName) {
    return trashedName + std::string(kInfoSuffix);
}

std::string trashInfoText(const std::string& realPath, std::uint64_t /*size*/,
                          const std::string& top) {
    std::string recorded = realPath;
    if (!top.empty()) recorded = realPath.substr(top == "/" ? 1 : top.size() + 1);
    return kInfoHeading + "\nPath=" + percentEncoded(recorded) +
           "\nDeletionDate=" + deletionDate() + "\n";
}

std::string trashInfoPath(const std::string& text, const std::string& top) {
    std::string recorded;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        if (line.rfind("Path=", 0) == 0) {
            recorded = percentDecoded(line.substr(5));
            break;
        }
        start = end + 1;
    }
    if (recorded.empty() || recorded.front() == '/' || top.empty()) return recorded;
    return joinedPath(top, recorded);
}

}  // namespace kestrune
