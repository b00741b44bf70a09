#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "platform/entry_move.h"
#include "platform/file_io.h"
#include "platform/file_support_posix.h"
#include "platform/folder_listing.h"
#include "platform/trash.h"

namespace kestrune {

namespace {

using posix::Descriptor;
using posix::folderOf;

constexpr std::size_t kNameMax = 255;
const std::string kInfoSuffix = ".trashinfo";
const std::string kInfoHeading = "[Trash Info]";

ActionResult lastError() {
    return ActionResult::failure(errno);
}

std::string nameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The entry's path through its folder's real path, so that it starts with the top folder
// of its file system even when a link leads to it; the entry itself may be a link.
std::string canonical(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    char* real = ::realpath(folderOf(path).c_str(), nullptr);
    if (real == nullptr) return path;
    const std::string folder = real;
    std::free(real);
    return (folder == "/" ? "" : folder) + "/" + nameOf(path);
}

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

// The entry's own file system: a link is not followed.
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

// The folder that the file system holding the entry is mounted on.
std::string topFolderOf(const std::string& path, dev_t device) {
    std::string top = folderOf(path);
    for (;;) {
        const std::string up = folderOf(top);
        dev_t upDevice = 0;
        if (top == "/" || !deviceOf(up, upDevice) || upDevice != device) return top;
        top = up;
    }
}

// A trash folder of this user: made private when missing, and trusted only when it is a
// folder and this user's own, so nobody else can read what lands in it. On a shared file
// system it must not be a link either, which another user could have laid there.
bool ownFolder(const std::string& path, bool mayBeLink = false) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    const int found = mayBeLink ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    return found == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

// The folders above the home trash are private, as the desktop's data folders are; those
// made again above a restored entry get the modes the user's umask gives.
bool makeFolders(const std::string& path, mode_t mode) {
    if (::mkdir(path.c_str(), mode) == 0 || errno == EEXIST) return true;
    if (errno != ENOENT || path == "/" || path == ".") return false;
    return makeFolders(folderOf(path), mode) &&
           (::mkdir(path.c_str(), mode) == 0 || errno == EEXIST);
}

bool trashFolderReady(const std::string& folder, bool mayBeLink = false) {
    return ownFolder(folder, mayBeLink) && ownFolder(folder + "/files") &&
           ownFolder(folder + "/info");
}

struct Destination {
    std::string folder;  // the trash folder holding files/ and info/
    std::string top;     // the folder Path= is relative to; empty: Path= is absolute
};

// $topdir/.Trash/$uid when an administrator made $topdir/.Trash a sticky folder, else
// $topdir/.Trash-$uid; each only when it lies on the entry's own file system.
bool topFolderTrash(const std::string& top, dev_t device, Destination& chosen) {
    const std::string uid = std::to_string(::getuid());
    const std::string base = top == "/" ? "" : top;
    std::vector<std::string> candidates;
    struct stat shared {};
    if (::lstat((base + "/.Trash").c_str(), &shared) == 0 && S_ISDIR(shared.st_mode) &&
        (shared.st_mode & S_ISVTX) != 0) {
        candidates.push_back(base + "/.Trash/" + uid);
    }
    candidates.push_back(base + "/.Trash-" + uid);
    for (const std::string& folder : candidates) {
        dev_t folderDevice = 0;
        if (trashFolderReady(folder) && deviceOf(folder, folderDevice) && folderDevice == device) {
            chosen = {folder, top};
            return true;
        }
    }
    return false;
}

// Path= is relative to the top folder in a top-folder trash, so that the file system may be
// mounted elsewhere later; absolute in the home trash.
std::string recordedPath(const std::string& path, const std::string& top) {
    if (top.empty()) return path;
    return path.substr(top == "/" ? 1 : top.size() + 1);
}

// The name in the trash: the entry's own, or with "_2", "_3"... before its extension, cut
// so that the .trashinfo's name still fits.
std::string candidateName(const std::string& name, int attempt) {
    std::string stem = name;
    std::string extension;
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0 && name.size() - dot <= 16) {
        stem = name.substr(0, dot);
        extension = name.substr(dot);
    }
    const std::string suffix = attempt == 1 ? "" : "_" + std::to_string(attempt);
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
    return stem + suffix + extension;
}

ActionResult writeInfo(const std::string& infoPath, const std::string& content) {
    Descriptor info(::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!info.valid()) return lastError();
    const int code = posix::writeFully(::write, info.get(), content.data(), content.size());
    if (code != 0 || !info.close()) {
        const int error = code != 0 ? code : errno;
        ::unlink(infoPath.c_str());
        return ActionResult::failure(error);
    }
    return ActionResult::success();
}

class PosixTrash final : public Trash {
  public:
    explicit PosixTrash(std::string homeTrash) : home_(std::move(homeTrash)) {}

    TrashResult put(const std::string& given) override {
        const std::string path = canonical(given);
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) return {lastError(), {}};
        Destination destination;
        if (!choose(path, st.st_dev, destination)) {
            return {ActionResult::failure(errno != 0 ? errno : EACCES,
                                          "No trash can be used for " + path),
                    {}};
        }
        const std::string content =
            kInfoHeading + "\nPath=" + percentEncoded(recordedPath(path, destination.top)) +
            "\nDeletionDate=" + deletionDate() + "\n";
        return placeUnderFreeName(path, destination.folder, content);
    }

    RestoreResult restore(const std::string& trashedFile) override {
        RestoreResult restored;
        struct stat st {};
        if (::lstat(trashedFile.c_str(), &st) != 0) {
            restored.result = lastError();
            return restored;
        }
        const std::string info = trashInfoOf(trashedFile);
        const FileContent content = systemFileIo().read(info);
        if (!content.ok()) {
            restored.result =
                ActionResult::failure(EINVAL, "Cannot read " + info + ": " + content.error);
            return restored;
        }
        restored.path = originalPath(trashedFile, content.bytes);
        if (restored.path.empty()) {
            restored.result = ActionResult::failure(EINVAL, "No Path= in " + info);
            return restored;
        }
        if (::lstat(restored.path.c_str(), &st) == 0) {
            restored.result = ActionResult::failure(EEXIST);
            return restored;
        }
        if (!makeFolders(folderOf(restored.path), 0777)) {
            restored.result = lastError();
            return restored;
        }
        restored.result = moveWhole(trashedFile, restored.path);
        // The entry is back; a .trashinfo that outlives it only shows as a broken line in a
        // file manager's trash, which empties it.
        if (restored.result.ok()) ::unlink(info.c_str());
        return restored;
    }

  private:
    bool choose(const std::string& path, dev_t device, Destination& chosen) const {
        errno = 0;
        if (device != homeDevice(home_)) {
            const std::string top = topFolderOf(path, device);
            if (!top.empty() && topFolderTrash(top, device, chosen)) return true;
        }
        chosen = {home_, {}};
        return makeFolders(folderOf(home_), 0700) && trashFolderReady(home_, true);
    }

    // The .trashinfo claims the name first, exclusively; only then does the entry move in.
    // A name whose files/ entry is left over from something else is passed over too.
    static TrashResult placeUnderFreeName(const std::string& path, const std::string& folder,
                                          const std::string& content) {
        for (int attempt = 1; attempt < 10000; ++attempt) {
            const std::string name = candidateName(nameOf(path), attempt);
            TrashPlace place{folder + "/files/" + name, folder + "/info/" + name + kInfoSuffix};
            ActionResult result = writeInfo(place.info, content);
            if (result.code == EEXIST) continue;
            if (!result.ok()) return {result, {}};
            struct stat st {};
            if (::lstat(place.file.c_str(), &st) == 0) {
                ::unlink(place.info.c_str());
                continue;
            }
            result = moveWhole(path, place.file);
            if (result.code == EEXIST) {
                ::unlink(place.info.c_str());
                continue;
            }
            if (!result.ok()) {
                ::unlink(place.info.c_str());
                return {result, {}};
            }
            return {result, place};
        }
        return {ActionResult::failure(EEXIST, "No free name in the trash"), {}};
    }

    // Path= as the .trashinfo gives it; a relative one lies below the top folder that holds
    // the trash folder ($topdir/.Trash-$uid or $topdir/.Trash/$uid).
    static std::string originalPath(const std::string& trashedFile, const std::string& info) {
        std::string recorded;
        std::size_t start = 0;
        while (start < info.size()) {
            auto end = info.find('\n', start);
            if (end == std::string::npos) end = info.size();
            const std::string line = info.substr(start, end - start);
            if (line.rfind("Path=", 0) == 0) {
                recorded = percentDecoded(line.substr(5));
                break;
            }
            start = end + 1;
        }
        if (recorded.empty() || recorded.front() == '/') return recorded;
        const std::string trashFolder = folderOf(folderOf(trashedFile));
        std::string top = folderOf(trashFolder);
        if (nameOf(top) == ".Trash") top = folderOf(top);
        return (top == "/" ? "" : top) + "/" + recorded;
    }

    std::string home_;
};

}  // namespace

std::unique_ptr<Trash> makeTrash(const std::string& homeTrash) {
    return std::make_unique<PosixTrash>(homeTrash);
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

std::string trashInfoOf(const std::string& trashedFile) {
    return folderOf(folderOf(trashedFile)) + "/info/" + nameOf(trashedFile) + kInfoSuffix;
}

}  // namespace kestrune
