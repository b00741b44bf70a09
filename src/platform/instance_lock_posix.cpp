#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace kestrune {

namespace {

// A folder only this user can write to: a lock file elsewhere could be taken by anyone.
bool isPrivateFolder(const std::string& folder) {
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0) return false;
    return S_ISDIR(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & 022) == 0;
}

std::string lockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') return runtime;
    const std::string fallback = "/tmp/kestrune-" + std::to_string(geteuid());
    if (mkdir(fallback.c_str(), 0700) != 0 && errno != EEXIST) return {};
    return isPrivateFolder(fallback) ? fallback : std::string();
}

}  // namespace

InstanceLockResult acquireInstanceLock(const std::string& name) {
    const std::string folder = lockFolder();
    if (folder.empty()) return InstanceLockResult::Unavailable;
    const std::string path = folder + "/" + name + ".lock";
    // Deliberately never closed: the descriptor, and with it the lock, lasts as long as the
    // process.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return InstanceLockResult::Unavailable;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return InstanceLockResult::Acquired;
    const int reason = errno;
    close(fd);
    return reason == EWOULDBLOCK ? InstanceLockResult::HeldElsewhere
                                 : InstanceLockResult::Unavailable;
}

std::string instanceChannelPath(const std::string& name) {
    const std::string folder = lockFolder();
    return folder.empty() ? std::string() : folder + "/" + name + ".socket";
}

}  // namespace kestrune
