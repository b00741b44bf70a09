#include "run/editor/selection_preview.h"

#include "platform/folder_listing.h"
#include "run/editor/task_warnings.h"
#include "run/plan/folder_walk.h"
#include "run/plan/path_rules.h"
#include "run/plan/run_planner.h"
#include "run/plan/task_record.h"

namespace kestrune {

SelectionPreview previewSelection(const TaskRecord& record, std::size_t limit,
                                  const std::atomic<bool>* stop) {
    SelectionPreview preview;
    preview.warnings = folderWarnings(record);
    const ReadRules read = readRules(record);
    if (!read.problem.empty()) {
        preview.problem = read.problem;
        return preview;
    }
    FolderId source;
    if (!isAbsolutePath(record.sourceFolder) || !folderIdentity(record.sourceFolder, source)) {
        return preview;
    }
    const bool placing = placesEntries(record.action) && isAbsolutePath(record.targetFolder);
    WalkRequest request{.sourceRoot = withoutTrailingSlashes(record.sourceFolder) + "/",
                        .depthCode = record.depthCode,
                        .skip = {},
                        .identities = false,
                        .stop = stop};
    if (read.rules.hasConditions) request.conditions = &read.rules.conditions;
    request.nowNs = judgingTime();
    request.modifiedTimes = placing && read.rules.placesByTime();
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
        if (!placing) continue;
        // A merged folder's entries go one by one into its mirror, which no template moves.
        if (entry.entered) {
            preview.targets.push_back(withoutTrailingSlashes(record.targetFolder) +
                                      (record.flat ? "" : "/" + preview.shown.back()));
            continue;
        }
        preview.targets.push_back(
            plainTarget(record, read.rules, preview.shown.back(), entry.identity.modifiedNs));
    }
    return preview;
}

}  // namespace kestrune
