#include "run/plan/busy_check.h"

#include <algorithm>
#include <array>

#include "run/plan/path_rules.h"

namespace kestrune {

namespace {

// What browsers and download tools name a file until it is complete.
constexpr std::array<std::string_view, 4> kUnfinishedExtensions = {".PART", ".CRDOWNLOAD",
                                                                   ".DOWNLOAD", ".PARTIAL"};

bool marksUnfinishedDownload(std::string_view name, const FilterPieces& filters) {
    const std::string extension = upperAscii(extensionPart(name));
    const bool unfinished = std::find(kUnfinishedExtensions.begin(), kUnfinishedExtensions.end(),
                                      extension) != kUnfinishedExtensions.end();
    return unfinished && !filters.names(extension);
}

}  // namespace

BusyCheck::BusyCheck(FilterPieces filters, OpenForWriting openFiles,
                     std::optional<std::int64_t> automaticNowNs)
    : filters_(std::move(filters)), openFiles_(std::move(openFiles)), nowNs_(automaticNowNs) {}

BusyReason BusyCheck::check(std::string_view name, const EntryIdentity& identity) const {
    // A folder is never written as a whole; what lies in it is judged one by one.
    if (identity.type == EntryType::Folder) return BusyReason::None;
    if (marksUnfinishedDownload(name, filters_)) return BusyReason::UnfinishedDownload;
    if (identity.type != EntryType::File) return BusyReason::None;
    if (openFiles_.contains(identity.device, identity.inode)) return BusyReason::OpenForWriting;
    // A modification time ahead of the clock (a camera's, another machine's) says nothing
    // about writing now; such a file would otherwise wait until that time comes.
    if (nowNs_ && identity.modifiedNs > *nowNs_ - kSettleNs && identity.modifiedNs <= *nowNs_) {
        return BusyReason::RecentlyChanged;
    }
    return BusyReason::None;
}

}  // namespace kestrune
