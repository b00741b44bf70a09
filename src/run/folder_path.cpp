#include "run/folder_path.h"

#include "run/path_rules.h"

namespace kestrune {

ActionResult makeFolderPath(FileActions& files, const std::string& folder) {
    const std::string path = withoutTrailingSlashes(folder);
    if (path.empty() || files.isFolder(path)) return ActionResult::success();
    const std::string parent = withoutTrailingSlashes(folderPart(path));
    if (!parent.empty()) {
        ActionResult made = makeFolderPath(files, parent);
        if (!made.ok()) return made;
    }
    ActionResult made = files.makeFolder(path);
    if (!made.ok()) made.error = "cannot create folder " + path + ": " + made.error;
    return made;
}

}  // namespace kestrune
