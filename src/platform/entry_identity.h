#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "platform/folder_listing.h"

namespace kestrune {

// What an entry was when it was listed. An action checks it again just before it touches
// the entry, so an entry replaced or changed since is never acted on.
struct EntryIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    EntryType type = EntryType::Other;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;  // modification time, nanoseconds since the epoch
    std::int64_t changedNs = 0;   // status change time, nanoseconds since the epoch
    bool operator==(const EntryIdentity&) const = default;

    // The modification time of an identity its listing gave alone (device, inode and type),
    // with no look at the entry: what a rename needs, whose check before acting looks.
    static constexpr std::int64_t kNotLookedAt = std::numeric_limits<std::int64_t>::min();
    static EntryIdentity listed(std::uint64_t device, std::uint64_t inode, EntryType type) {
        return {device, inode, type, 0, kNotLookedAt, 0};
    }
    bool listedOnly() const { return modifiedNs == kNotLookedAt; }

    // The same entry, whatever happened to its content or status since.
    bool sameEntry(const EntryIdentity& other) const {
        return device == other.device && inode == other.inode && type == other.type;
    }
};

// Whether an entry is still as it was listed, so that an action may touch it. A folder
// handled whole may have changed inside; any other entry must be unchanged, as far as its
// listing looked. A status change time of 0 is not known: what a rename left is recorded
// without one, as the rename itself changed it.
inline bool asListed(const EntryIdentity& now, const EntryIdentity& expected) {
    if (expected.type == EntryType::Folder || expected.listedOnly()) {
        return now.sameEntry(expected);
    }
    const bool changeTimeKnown = expected.changedNs != 0;
    return now.sameEntry(expected) && now.size == expected.size &&
           now.modifiedNs == expected.modifiedNs &&
           (!changeTimeKnown || now.changedNs == expected.changedNs);
}

// The identity of the entry the path names itself (a symbolic link is not followed); the
// errno value on failure, 0 on success.
int readIdentity(const std::string& path, EntryIdentity& identity);
// The same for an entry of an open folder.
int readIdentityIn(const OpenFolder& folder, const std::string& name, EntryIdentity& identity);

}  // namespace kestrune
