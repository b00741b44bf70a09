#include "run/editor/selection_preview.h"

#include "platform/folder_listing.h"
#include "run/editor/task_warnings.h"
#include "run/plan/folder_walk.h"
#include "run/plan/path_rules.h"
#include "run/plan/task_record.h"

namespace kestrune {

SelectionPreview previewSelection(const TaskRecord& record, std::size_t limit,
                                  const std::atomic<bool>* stop) {
    SelectionPreview preview;
    preview.warnings = folderWarnings(record);
    FolderId source;
    if (!isAbsolutePath(record.sourceFolder) || !folderIdentity(record.sourceFolder, source)) {
        return preview;
    }
    WalkRequest request{.sourceRoot = withoutTrailingSlashes(record.sourceFolder) + "/",
                        .depthCode = record.depthCode,
                        .skip = {},
                        .identities = false,
                        .stop = stop};
    // The run leaves a target inside the source out of its walk; so does the preview.
    FolderId target;
    if (placesEntries(record.action) && isAbsolutePath(record.targetFolder) &&
        folderIdentity(record.targetFolder, target) && target != source) {
        request.skip = target;
    }
    const WalkResult walk = walkAndSelect(request, FilterPieces(record.filters));
    preview.total = walk.selection.size();
    const std::size_t rootLength = request.sourceRoot.size();
    for (const SelectedEntry& entry : walk.selection) {
        if (preview.shown.size() == limit) break;
        preview.shown.push_back(walk.path(entry).substr(rootLength));
    }
    return preview;
}

}  // namespace kestrune
