#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/entry_identity.h"
#include "run/plan/name_pattern.h"

namespace kestrune {

// Why the walk leaves an entry it listed: the first rule the entry failed.
enum class PassedOver : std::uint8_t {
    None,       // selected
    Special,    // a FIFO, socket or device
    Temporary,  // a run's temporary copy
    Target,     // the task's target folder inside its source
    Excluded,   // exclude
    Extension,  // filters
    Name,       // names
    Folder,     // filesonly, or a size condition
    Link,       // a size condition
    Smaller,    // minsize
    Larger,     // maxsize
    Newer,      // olderthan
    Older,      // newerthan
};

// The conditions a task sets beside its filters. An entry is selected when it passes the
// filters and every condition set; none set passes everything.
struct Conditions {
    NamePatterns names;    // names: the entry's name matches one
    NamePatterns exclude;  // exclude: a matching entry is left, a matching folder not entered
    std::optional<std::uint64_t> minSize;  // minsize: a file of at least so many bytes
    std::optional<std::uint64_t> maxSize;  // maxsize: a file of at most so many bytes
    // olderthan, newerthan: the time since the last modification, in nanoseconds.
    std::optional<std::int64_t> olderThanNs;
    std::optional<std::int64_t> newerThanNs;
    bool filesOnly = false;  // filesonly: files and links, never a folder
    // The values as written, for the reasons given.
    std::string minSizeText, maxSizeText, olderThanText, newerThanText;

    // Whether the entry's size or time must be looked at: only then is it.
    bool needsIdentity() const { return minSize || maxSize || olderThanNs || newerThanNs; }
    bool excludes(std::string_view name) const {
        return !exclude.empty() && exclude.matchesAny(name);
    }
    // By its name (not excluded) and type.
    PassedOver byName(std::string_view name, EntryType type) const;
    // By its size and modification time, judged at nowNs. An entry older than 30d was
    // modified at or before nowNs minus 30 days; any other is newer.
    PassedOver byIdentity(const EntryIdentity& identity, std::int64_t nowNs) const;
    // The words for a reason: "extension", "smaller than 10M".
    std::string reason(PassedOver why) const;
};

// A size: a whole number with an optional unit K, M, G or T (powers of 1024), "10M". The
// reason it cannot be read goes to `problem`.
std::optional<std::uint64_t> readSize(std::string_view text, std::string& problem);
// A time span: a whole number with a unit m (minutes), h, d or w, "30d"; in nanoseconds.
std::optional<std::int64_t> readAge(std::string_view text, std::string& problem);

}  // namespace kestrune
