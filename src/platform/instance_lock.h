#pragma once

#include <string>

namespace kestrune {

enum class InstanceLockResult {
    Acquired,       // this process is now the one instance
    HeldElsewhere,  // another process of the same user holds the lock
    Unavailable,    // no lock could be set up (no usable folder); run without one
};

// Takes the per-user lock `name` for the rest of the process's life. The system releases it
// whenever the process ends, also when it is killed, so no stale lock can remain.
// The lock file lives in $XDG_RUNTIME_DIR, else in a private folder of the user under /tmp.
InstanceLockResult acquireInstanceLock(const std::string& name);

// Where the holder of the lock `name` listens for later starts of the program: a local socket
// beside the lock file, in the same private folder. Empty when there is no usable folder.
std::string instanceChannelPath(const std::string& name);

}  // namespace kestrune
