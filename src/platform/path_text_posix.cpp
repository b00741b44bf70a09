#include "platform/path_text.h"

namespace kestrune {

bool pathStartsWith(const std::string& path, const std::string& prefix) {
    return path.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace kestrune
