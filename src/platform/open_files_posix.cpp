#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/file_support_posix.h"
#include "platform/open_files.h"

namespace kestrune {

namespace {

using FileKey = std::pair<std::uint64_t, std::uint64_t>;

bool isNumber(const char* name) {
    if (*name == '\0') return false;
    for (; *name != '\0'; ++name) {
        if (*name < '0' || *name > '9') return false;
    }
    return true;
}

// The "flags:" line of /proc/PID/fdinfo/FD: the access mode in octal.
bool fdinfoSaysWriting(int fdinfoFolder, const char* fd) {
    posix::Descriptor info(openat(fdinfoFolder, fd, O_RDONLY | O_CLOEXEC));
    if (!info.valid()) return false;
    char text[256];
    const ssize_t got = ::read(info.get(), text, sizeof text - 1);
    if (got <= 0) return false;
    text[got] = '\0';
    const char* flags = std::strstr(text, "flags:");
    if (flags == nullptr) return false;
    const long mode = std::strtol(flags + 6, nullptr, 8) & O_ACCMODE;
    return mode == O_WRONLY || mode == O_RDWR;
}

// The link of a descriptor carries its access mode as the owner's permission bits, which
// spares reading its fdinfo; a system whose links carry none is asked through fdinfo.
bool openForWriting(int fdFolder, int fdinfoFolder, const char* fd) {
    struct stat link {};
    if (fstatat(fdFolder, fd, &link, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if ((link.st_mode & S_IRWXU) != 0) return (link.st_mode & S_IWUSR) != 0;
    return fdinfoSaysWriting(fdinfoFolder, fd);
}

void scanProcess(int procFolder, const char* pid, std::vector<FileKey>& files) {
    const std::string fdPath = std::string(pid) + "/fd";
    const std::string fdinfoPath = std::string(pid) + "/fdinfo";
    posix::Descriptor fdFolder(
        openat(procFolder, fdPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fdFolder.valid()) return;  // not ours to see, or ended
    posix::Descriptor fdinfoFolder(
        openat(procFolder, fdinfoPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DIR* listing = fdopendir(dup(fdFolder.get()));
    if (listing == nullptr) return;
    while (const dirent* entry = readdir(listing)) {
        if (!isNumber(entry->d_name)) continue;
        if (!openForWriting(fdFolder.get(), fdinfoFolder.get(), entry->d_name)) continue;
        struct stat file {};
        if (fstatat(fdFolder.get(), entry->d_name, &file, 0) != 0) continue;
        if (!S_ISREG(file.st_mode)) continue;
        files.emplace_back(static_cast<std::uint64_t>(file.st_dev),
                           static_cast<std::uint64_t>(file.st_ino));
    }
    closedir(listing);
}

}  // namespace

OpenForWriting scanOpenForWriting() {
    std::vector<FileKey> files;
    posix::Descriptor proc(open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!proc.valid()) return {};
    DIR* listing = fdopendir(dup(proc.get()));
    if (listing == nullptr) return {};
    while (const dirent* entry = readdir(listing)) {
        if (isNumber(entry->d_name)) scanProcess(proc.get(), entry->d_name, files);
    }
    closedir(listing);
    return OpenForWriting(std::move(files));
}

}  // namespace kestrune
