#include "store/help_document.h"

#include <filesystem>

#include "platform/file_io.h"
#include "store/program_files.h"

namespace kestrune {

std::string helpDocumentPath(const std::string& executableFolder) {
    const std::string chm = helpPath(executableFolder);
    if (isRegularFile(chm)) return chm;
    return std::filesystem::path(executableFolder + KESTRUNE_HELP_PAGE_FROM_BIN)
        .lexically_normal()
        .string();
}

}  // namespace kestrune
