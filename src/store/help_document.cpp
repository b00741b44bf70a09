#include "store/help_document.h"

#include <filesystem>

#include "platform/file_io.h"
#include "store/program_files.h"

namespace kestrune {

std::string helpDocumentPath(const std::string& executableFolder) {
    const std::string chm = helpPath(executableFolder);
    if (isRegularFile(chm)) return chm;
    // Through UTF-8 both ways: a narrow path is the system's code page on Windows.
    const std::string page = executableFolder + KESTRUNE_HELP_PAGE_FROM_BIN;
    const std::u8string normal = std::filesystem::path(std::u8string(page.begin(), page.end()))
                                     .lexically_normal()
                                     .u8string();
    return std::string(normal.begin(), normal.end());
}

}  // namespace kestrune
