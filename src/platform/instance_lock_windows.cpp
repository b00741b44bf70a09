#include <windows.h>

#include "platform/file_support_windows.h"
#include "platform/instance_lock.h"

namespace kestrune {

// A named mutex in the namespace of the user's session: it exists while any process holds a
// handle to it, so it goes when the process ends, also when it is killed.
InstanceLockResult acquireInstanceLock(const std::string& name) {
    // Deliberately never closed: the handle, and with it the mutex, lasts as long as the process.
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, windows::wide(name).c_str());
    if (mutex == nullptr) {
        return GetLastError() == ERROR_ACCESS_DENIED ? InstanceLockResult::HeldElsewhere
                                                     : InstanceLockResult::Unavailable;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return InstanceLockResult::HeldElsewhere;
    }
    return InstanceLockResult::Acquired;
}

}  // namespace kestrune
