#include "run/editor/selection_preview.h"

#include "platform/folder_listing.h"
#include "run/editor/task_warnings.h"
#include "run/plan/folder_walk.h"
#include "run/plan/path_rules.h"
#include "run/plan/run_planner.h"
#include "run/plan/task_record.h"

namespace kestrune {

namespace {

// Keeps the first entries, up to the limit, and counts the rest: the live list shows no
// more than a user scrolls through, whatever the size of the tree.
class FirstEntries final : public WalkVisitor {
  public:
    FirstEntries(const TaskRecord& record, const TaskRules& rules, bool placing,
                 std::size_t rootLength, std::size_t limit, SelectionPreview& preview)
        : record_(record),
          rules_(rules),
          placing_(placing),
          rootLength_(rootLength),
          limit_(limit),
          preview_(preview) {}

    void folder(const WalkedFolder& folder) override {
        preview_.total += folder.selected.size();
        for (const SelectedEntry& entry : folder.selected) {
            if (preview_.shown.size() == limit_) return;
            preview_.shown.push_back(joined(folder.path, entry.name).substr(rootLength_));
            if (!placing_) continue;
            // A merged folder's entries go one by one into its mirror, which no template moves.
            if (entry.entered) {
                preview_.targets.push_back(withoutTrailingSlashes(record_.targetFolder) +
                                           (record_.flat ? "" : "/" + preview_.shown.back()));
                continue;
            }
            preview_.targets.push_back(
                plainTarget(record_, rules_, preview_.shown.back(), entry.identity.modifiedNs));
        }
    }

  private:
    const TaskRecord& record_;
    const TaskRules& rules_;
    bool placing_;
    std::size_t rootLength_;
    std::size_t limit_;
    SelectionPreview& preview_;
};

}  // namespace

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
    FirstEntries first(record, read.rules, placing, request.sourceRoot.size(), limit, preview);
    walkFolders(request, FilterPieces(record.filters), first);
    return preview;
}

}  // namespace kestrune
