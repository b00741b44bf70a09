#include "platform/open_files.h"

#include <algorithm>

namespace kestrune {

OpenForWriting::OpenForWriting(std::vector<std::pair<std::uint64_t, std::uint64_t>> files)
    : files_(std::move(files)) {
    std::sort(files_.begin(), files_.end());
    files_.erase(std::unique(files_.begin(), files_.end()), files_.end());
}

OpenForWriting::OpenForWriting(std::shared_ptr<const OpenFileProbe> probe)
    : probe_(std::move(probe)) {}

bool OpenForWriting::contains(std::uint64_t device, std::uint64_t inode) const {
    if (probe_) return probe_->openForWriting(device, inode);
    return std::binary_search(files_.begin(), files_.end(), std::make_pair(device, inode));
}

}  // namespace kestrune
