#include "platform/file_io.h"

namespace kestrune {

// The whole file from its pieces, the one reading both systems' files share.
FileContent SystemFileIo::read(const std::string& path) const {
    std::string bytes;
    FileContent result = readPieces(path, [&bytes](std::string_view piece) { bytes += piece; });
    if (result.ok()) result.bytes = std::move(bytes);
    return result;
}

}  // namespace kestrune
