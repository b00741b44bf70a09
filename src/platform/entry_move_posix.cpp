#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/entry_identity.h"
#include "platform/entry_move.h"
#include "platform/file_actions.h"
#include "platform/file_support_posix.h"
#include "platform/folder_handle.h"
#include "platform/folder_listing.h"
#include "platform/temporary_name.h"

namespace kestrune {

namespace {

using posix::Descriptor;

ActionResult lastError() {
    return ActionResult::failure(errno);
}

// An entry named by its full path, held as its open folder and its name, so the actions below
// go through the same checked, non-replacing file actions as a run's.
struct HeldEntry {
    OpenFolder folder;
    std::string name;
};

ActionResult holdFolderOf(const std::string& path, HeldEntry& out) {
    const std::string folder = posix::folderOf(path);
    out.name = path.substr(path.rfind('/') + 1);
    const std::string relative = folder == "/" ? std::string() : folder.substr(1) + "/";
    return systemFileActions().openFolder("/", relative, out.folder);
}

// The source and the target's folder, held open, and what the source is now.
struct HeldPair {
    HeldEntry from;
    HeldEntry to;
    EntryIdentity identity;
};

ActionResult holdPair(const std::string& source, const std::string& target, HeldPair& out) {
    ActionResult result = holdFolderOf(source, out.from);
    if (result.ok()) result = holdFolderOf(target, out.to);
    if (!result.ok()) return result;
    const int code = readIdentityIn(out.from.folder, out.from.name, out.identity);
    return code == 0 ? ActionResult::success() : ActionResult::failure(code);
}

// Renames without replacing; EXDEV when the two lie on different file systems.
ActionResult renameEntry(const std::string& source, const std::string& target) {
    HeldPair held;
    const ActionResult result = holdPair(source, target, held);
    if (!result.ok()) return result;
    EntryIdentity made;
    return systemFileActions().rename(held.from.folder, held.from.name, held.identity,
                                      held.to.folder, held.to.name, made);
}

// A file copied under a temporary name, flushed and renamed into place without replacing.
ActionResult copyFile(const std::string& source, const std::string& target) {
    FileActions& files = systemFileActions();
    HeldPair held;
    ActionResult result = holdPair(source, target, held);
    TemporaryCopy copy;
    if (result.ok()) {
        result = files.copyToTemporary(held.from.folder, held.from.name, held.identity, false,
                                       held.to.folder, copy);
    }
    if (!result.ok()) return result;
    EntryIdentity made;
    result = files.flush(held.to.folder);
    if (result.ok()) result = files.placeTemporary(held.to.folder, copy, held.to.name, made);
    if (!result.ok()) files.discardTemporary(held.to.folder, copy);
    return result;
}

ActionResult copyTree(const std::string& source, const std::string& target);

// Copies the folder's entries into target, then gives target the folder's mode and times.
// The caller makes target.
ActionResult copyFolderInto(const std::string& source, const std::string& target,
                            const struct stat& st) {
    // Its entries are to be removed after the copy: a folder that forbids it is found now,
    // before anything is copied in vain.
    if (::access(source.c_str(), W_OK) != 0) return lastError();
    const FolderListing listing = listFolder(source);
    if (!listing.listed) return ActionResult::failure(EACCES, "Cannot list " + source);
    for (const FolderEntry& entry : listing.entries) {
        const ActionResult result = copyTree(source + "/" + entry.name, target + "/" + entry.name);
        if (!result.ok()) return result;
    }
    const timespec times[2] = {st.st_atim, st.st_mtim};
    if (::chmod(target.c_str(), st.st_mode & 07777) != 0 ||
        ::utimensat(AT_FDCWD, target.c_str(), times, 0) != 0) {
        return lastError();
    }
    return ActionResult::success();
}

ActionResult copyLink(const std::string& source, const std::string& target, const struct stat& st) {
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t length = ::readlink(source.c_str(), buffer.data(), buffer.size() - 1);
    if (length < 0) return lastError();
    buffer[static_cast<std::size_t>(length)] = '\0';
    if (::symlink(buffer.data(), target.c_str()) != 0) return lastError();
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ::utimensat(AT_FDCWD, target.c_str(), times, AT_SYMLINK_NOFOLLOW);
    return ActionResult::success();
}

// A copy of a whole entry with the modes and times of everything in it.
ActionResult copyTree(const std::string& source, const std::string& target) {
    struct stat st {};
    if (::lstat(source.c_str(), &st) != 0) return lastError();
    if (S_ISDIR(st.st_mode)) {
        if (::mkdir(target.c_str(), 0700) != 0) return lastError();
        return copyFolderInto(source, target, st);
    }
    if (S_ISLNK(st.st_mode)) return copyLink(source, target, st);
    if (S_ISREG(st.st_mode)) return copyFile(source, target);
    return ActionResult::failure(EINVAL, "Not a regular file: " + source);
}

// Removes the entry and everything in it; a folder that cannot be emptied stays.
ActionResult removeTree(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return lastError();
    if (!S_ISDIR(st.st_mode))
        return ::unlink(path.c_str()) == 0 ? ActionResult::success() : lastError();
    for (const FolderEntry& entry : listFolder(path).entries) {
        const ActionResult result = removeTree(path + "/" + entry.name);
        if (!result.ok()) return result;
    }
    return ::rmdir(path.c_str()) == 0 ? ActionResult::success() : lastError();
}

// A folder cannot be renamed to another file system. It is copied whole under a temporary
// name beside the target, the copy is put on disk and renamed into place, and only then is
// the source removed: a failure or a kill never leaves a partial copy under the target name.
ActionResult moveFolderAcross(const std::string& source, const std::string& target) {
    struct stat st {};
    if (::lstat(source.c_str(), &st) != 0) return lastError();
    if (!S_ISDIR(st.st_mode)) return ActionResult::failure(EXDEV);
    if (::access(posix::folderOf(source).c_str(), W_OK) != 0) return lastError();
    std::string temporary =
        posix::folderOf(target) + "/" + std::string(kTemporaryPrefix) + "XXXXXX";
    if (::mkdtemp(temporary.data()) == nullptr) return lastError();
    ActionResult result = copyFolderInto(source, temporary, st);
    if (result.ok()) {
        Descriptor copied(::open(temporary.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!copied.valid() || ::syncfs(copied.get()) != 0) result = lastError();
    }
    if (result.ok()) result = renameEntry(temporary, target);
    if (!result.ok()) {
        removeTree(temporary);
        return result;
    }
    result = removeTree(source);
    if (!result.ok()) {
        return ActionResult::failure(
            result.code,
            "Copied to " + target + " but not all of the source could go: " + result.error);
    }
    return result;
}

}  // namespace

ActionResult moveWhole(const std::string& source, const std::string& target) {
    const ActionResult result = renameEntry(source, target);
    if (result.code != EXDEV) return result;
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0) return ActionResult::failure(EEXIST);
    return moveFolderAcross(source, target);
}

ActionResult removeMadeEntry(const std::string& path, const EntryIdentity& expected) {
    EntryIdentity now;
    if (const int code = readIdentity(path, now); code != 0) return ActionResult::failure(code);
    if (!now.sameEntry(expected)) {
        return ActionResult::failure(ESTALE, "the entry changed since it was listed");
    }
    if (now.type == EntryType::Folder) return ActionResult::failure(EISDIR);
    if (::unlink(path.c_str()) != 0) return ActionResult::failure(errno);
    return ActionResult::success();
}

}  // namespace kestrune
