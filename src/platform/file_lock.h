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
    // The same on a file made (private) when missing, which the holder then names itself in:
    // `note` replaces what the file held, for others to read with lockNote().
    int tryLockNamed(const std::string& path, const std::string& note);
    void release();

  private:
    int fd_ = -1;
};

// What the holder of a lock taken by tryLockNamed() wrote; empty when there is nothing.
std::string lockNote(const std::string& path);

// This process's id, as the system shows it to users.
long processId();

}  // namespace kestrune
