// /dev/shm, a file system in memory on Linux.
#include <stdlib.h>
#include <sys/stat.h>

#include "support/other_file_system.h"

namespace kestrune::test {

std::string folderOnAnotherFileSystem(const ScratchDir& scratch, const std::string& prefix) {
    struct stat shm {
    }, disk{};
    if (stat("/dev/shm", &shm) != 0 || stat(scratch.path().c_str(), &disk) != 0 ||
        shm.st_dev == disk.st_dev) {
        return {};
    }
    std::string pattern = "/dev/shm/" + prefix + "XXXXXX";
    return mkdtemp(pattern.data()) != nullptr ? pattern : "";
}

}  // namespace kestrune::test
