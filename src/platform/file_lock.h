#pragma once

#include <string>

namespace kestrune {

// An advisory lock on a file, held while the object lives and released by the system when
// the process ends in any way, so a lock never outlives the run that took it.
class FileLock {
  public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Takes the lock without waiting: 0, EWOULDBLOCK when another holder has it, or the
    // errno value of opening the file.
    int tryLock(const std::string& path);
    void release();

  private:
    int fd_ = -1;
};

}  // namespace kestrune
