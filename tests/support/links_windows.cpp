// CreateSymbolicLinkW, for an administrator or in developer mode.
#include <windows.h>

#include <filesystem>

#include "support/links.h"
#include "support/scratch_dir.h"

namespace kestrune::test {

bool makeLink(const std::string& target, const std::string& link) {
    const std::filesystem::path at = pathOf(link);
    std::filesystem::path to = pathOf(target);
    const bool folder =
        std::filesystem::is_directory(to.is_absolute() ? to : at.parent_path() / to);
    to.make_preferred();
    const DWORD flags =
        (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    if (!CreateSymbolicLinkW(at.c_str(), to.c_str(), flags)) return false;
    // Wine answers yes and makes nothing.
    return GetFileAttributesW(at.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace kestrune::test
