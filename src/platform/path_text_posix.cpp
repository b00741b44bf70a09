#include "platform/path_text.h"

namespace kestrune {

bool pathStartsWith(const std::string& path, const std::string& prefix) {
    return path.compare(0, prefix.size(), prefix) == 0;
}

std::string nameProblem(std::string_view name) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos) {
        return "\"" + std::string(name) + "\" is no name of an entry";
    }
    return {};
}

}  // namespace kestrune
