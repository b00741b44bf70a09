#include "run/editor/task_warnings.h"

#include "platform/folder_listing.h"
#include "run/plan/path_rules.h"
#include "run/plan/task_record.h"

namespace kestrune {

namespace {

// "tmp" and "*tmp" both mean *.tmp.
std::string dottedGuess(std::string_view piece) {
    while (!piece.empty() && piece.front() == '*') piece.remove_prefix(1);
    return "*." + std::string(piece);
}

// Whether a folder above the path, by identity, is the source: the path need not exist yet.
bool liesInside(const std::string& path, const FolderId& source) {
    std::string up = withoutTrailingSlashes(path);
    while (!up.empty()) {
        up = withoutTrailingSlashes(folderPart(up));
        FolderId id;
        if (folderIdentity(up.empty() ? "/" : up, id) && id == source) return true;
    }
    return false;
}

}  // namespace

std::vector<std::string> filterWarnings(const std::string& filters) {
    std::vector<std::string> warnings;
    for (const std::string& raw : split(filters, ';')) {
        const std::string piece(trimBlanks(raw));
        if (piece.empty()) continue;
        if (piece.find_first_of(", \t") != std::string::npos) {
            warnings.push_back("\"" + piece +
                               "\" holds a comma or a blank; pieces are separated by \";\"");
        } else if (piece != "*" && piece.find('.') == std::string::npos) {
            warnings.push_back(piece + " selects every entry whose name has no dot; did you mean " +
                               dottedGuess(piece) + "?");
        }
    }
    return warnings;
}

std::vector<std::string> folderWarnings(const TaskRecord& record) {
    std::vector<std::string> warnings;
    if (record.sourceFolder.empty() || !isAbsolutePath(record.sourceFolder)) return warnings;
    FolderId source;
    if (!folderIdentity(record.sourceFolder, source)) {
        warnings.push_back("The source folder \"" + record.sourceFolder + "\" does not exist");
        return warnings;
    }
    if (!placesEntries(record.action) || !isAbsolutePath(record.targetFolder)) return warnings;
    FolderId target;
    if (folderIdentity(record.targetFolder, target) && target == source) {
        warnings.push_back("The target folder is the source folder");
    } else if (liesInside(record.targetFolder, source)) {
        warnings.push_back("The target folder lies inside the source folder");
    }
    return warnings;
}

}  // namespace kestrune
