#pragma once

#include "platform/entry_identity.h"

namespace kestrune {

// The entry a run left is still there as it left it: the same entry, and for anything but a
// folder the same size and modification time. The status change time is not asked: a
// rename or a new link changes it without changing the entry.
inline bool stillAsLeft(const EntryIdentity& now, const EntryIdentity& left) {
    EntryIdentity withoutChangeTime = left;
    withoutChangeTime.changedNs = 0;
    return asListed(now, withoutChangeTime);
}

// An entry that a run's copy of `original` left: copies keep the type, size and times.
inline bool looksLikeCopyOf(const EntryIdentity& now, const EntryIdentity& original) {
    return now.type == original.type && now.size == original.size &&
           now.modifiedNs == original.modifiedNs;
}

// Nothing was recorded of the entry (a step that left none, or a journal that could not say).
inline bool unknown(const EntryIdentity& identity) {
    return identity.device == 0 && identity.inode == 0;
}

}  // namespace kestrune
