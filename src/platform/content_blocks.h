#pragma once

// The block comparison both systems' compareContent share, once each has opened its two
// files and found them regular, of one size and not the same file.

#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/content_compare.h"

namespace kestrune {

inline constexpr std::size_t kContentBlock = 1 << 20;

// read(which, data, size): fills data from file 0 or 1 unless it ends first, giving the
// number of bytes read or a negative number; failed(which): the failure for that file.
template <class Read, class Failed>
ContentComparison compareBlocks(Read read, Failed failed) {
    std::vector<char> blocks[2] = {std::vector<char>(kContentBlock),
                                   std::vector<char>(kContentBlock)};
    for (;;) {
        long long got[2] = {};
        for (int which = 0; which < 2; ++which) {
            got[which] = read(which, blocks[which].data(), kContentBlock);
            if (got[which] < 0) return failed(which);
        }
        // A file that grew or shrank while it was read is not the same as the other.
        if (got[0] != got[1]) return {};
        if (got[0] == 0) return {ContentComparison::Outcome::Same, {}};
        if (std::memcmp(blocks[0].data(), blocks[1].data(), static_cast<std::size_t>(got[0])) !=
            0) {
            return {};
        }
    }
}

}  // namespace kestrune
