#include "run/plan/run_planner.h"

#include <cerrno>
#include <chrono>
#include <optional>

#include "platform/content_compare.h"
#include "platform/file_actions.h"
#include "platform/file_io.h"
#include "platform/folder_listing.h"
#include "platform/trash.h"
#include "run/plan/busy_check.h"
#include "run/plan/folder_walk.h"
#include "run/plan/name_set.h"
#include "run/plan/name_source.h"
#include "run/plan/path_rules.h"
#include "run/plan/placement.h"
#include "run/plan/plan_roots.h"
#include "run/plan/task_record.h"

namespace kestrune {

std::string cannotRunMessage(const std::string& task, const std::string& reason) {
    return "Task \"" + task + "\" cannot run: " + reason;
}

namespace {

// A folder swapped for a link or another folder after its parent was listed is not followed.
std::string reasonOf(const UnlistedFolder& folder) {
    if (folder.error == ENOTDIR || folder.error == ESTALE) {
        return "it was replaced since it was listed";
    }
    return systemErrorText(folder.error);
}

// A new name that would not name an entry in the target folder.
std::string unusableName(const std::string& name) {
    if (name.empty()) return "the new name comes out empty";
    if (name == "." || name == "..") {
        return "the new name comes out as \"" + name + "\", which leads out of the target folder";
    }
    return {};
}

// The step as new, keeping the room of its paths.
void renew(PlanStep& step) {
    PlanStep fresh;
    fresh.source.swap(step.source);
    fresh.target.swap(step.target);
    fresh.source.clear();
    fresh.target.clear();
    step = std::move(fresh);
}

// Plans folder by folder as the walk lists them: a preview hands each step to its sink and
// keeps none, a run keeps its steps, and neither keeps the walk.
class Planner final : private WalkVisitor {
  public:
    Planner(const TaskRecord& record, const std::string& name, const PlanOptions& options)
        : options_(options),
          files_(options.files != nullptr ? *options.files : systemFileActions()),
          checked_(checkRecord(record)),
          placement_(files_, options.names != nullptr ? *options.names : randomNames(),
                     record.targetFolder, record.flat, !checked_.rules.subfolder.empty()) {
        plan_.task = name;
        plan_.record = record;
    }

    RunPlan plan() {
        std::optional<WalkRequest> request = check();
        if (!request) return std::move(plan_);
        rootLength_ = request->sourceRoot.size();
        FilterPieces filters(plan_.record.filters);
        // One look at the open files, before the first entry is planned; a run takes a
        // second one after the walk (busyAfterWalk).
        busy_.emplace(filters, options_.identities ? scanOpenForWriting() : OpenForWriting(),
                      options_.automaticStartNs);
        walkFolders(*request, filters, *this);
        if (options_.sink != nullptr) return std::move(plan_);
        busyAfterWalk(std::move(filters));
        planRemovals();
        return std::move(plan_);
    }

  private:
    void unlisted(const UnlistedFolder& folder) override {
        FolderProblem& problem = plan_.unreadable.emplace_back(
            FolderProblem{withoutTrailingSlashes(folder.path), reasonOf(folder)});
        if (options_.sink != nullptr) options_.sink->unlisted(problem);
    }

    void folder(const WalkedFolder& folder) override {
        if (folder.selected.empty()) return;
        if (placing()) planFolders(folder);
        for (const SelectedEntry& entry : folder.selected) {
            step(folder, entry, shown_);
            if (options_.sink != nullptr) {
                options_.sink->planned(shown_);
            } else {
                plan_.steps.push_back(shown_);
            }
        }
    }

    // A file opened for writing while the walk went on is seen too: its step waits.
    void busyAfterWalk(FilterPieces filters) {
        if (!options_.identities) return;
        const BusyCheck after(std::move(filters), scanOpenForWriting(), options_.automaticStartNs);
        for (std::size_t i = 0; i < plan_.steps.size(); ++i) {
            const PlanStep& step = plan_.steps[i];
            if (step.status != StepStatus::Planned) continue;
            if (after.check(nameOf(step.source), step.identity) == BusyReason::None) continue;
            plan_.steps.markBusy(i);
        }
    }

    Action action() const { return static_cast<Action>(plan_.record.action); }

    // The folders the run reaches its entries through, found once, now: links at and above
    // them followed as the user expects; below them the executor follows none.
    void planRoots(const FolderId& source) {
        const PlanRoot& from = plan_.roots.emplace_back(rootOf(plan_.record.sourceFolder));
        if (placing()) plan_.roots.push_back(rootOf(plan_.record.targetFolder));
        if (action() != Action::Trash) return;
        const TrashChoice trash = chooseTrash(from.real, source.device, homeTrashFolder());
        plan_.trash = {trash.folder, trash.top};
        plan_.roots.push_back(rootOf(trash.top.empty() ? trash.folder : trash.top));
    }

    // A move, a delete and a trash empty the selected folders they enter: each goes when it
    // is empty at the end, children first. A copy leaves them.
    void planRemovals() {
        if (action() == Action::Copy) return;
        for (std::size_t i = plan_.steps.size(); i-- > 0;) {
            if (plan_.steps.status(i) == StepStatus::Merged) {
                plan_.foldersToRemove.push_back(plan_.steps[i].source);
            }
        }
    }
    bool placing() const { return placesEntries(plan_.record.action); }

    void fail(const std::string& reason) { plan_.error = cannotRunMessage(plan_.task, reason); }

    const TaskRules& rules() const { return checked_.rules; }

    // Nothing is planned when the record cannot run or would act on its own source.
    std::optional<WalkRequest> check() {
        const TaskRecord& record = plan_.record;
        if (!checked_.problem.empty()) {
            fail(checked_.problem);
            return std::nullopt;
        }
        WalkRequest request{
            sourceRootOf(record.sourceFolder), record.depthCode, {}, options_.identities};
        if (rules().hasConditions) request.conditions = &rules().conditions;
        request.nowNs = judgingTime(options_.nowNs);
        request.modifiedTimes = placing() && rules().placesByTime();
        // A move's renames look at each entry before acting, and record what they saw; an
        // automatic run looks when listing, to leave the files just changed alone.
        request.filesAsListed =
            options_.identities && action() == Action::Move && !options_.automaticStartNs;
        if (options_.passedOver) {
            request.passedOver = [this](const std::string& path, PassedOver why) {
                options_.passedOver(path, rules().conditions.reason(why));
            };
        }
        FolderId source;
        if (!folderIdentity(record.sourceFolder, source)) {
            fail("its source folder \"" + record.sourceFolder +
                 "\" does not exist or is not a folder");
            return std::nullopt;
        }
        FolderId target;
        if (placing() && folderIdentity(record.targetFolder, target)) {
            if (target == source) {
                fail("its target folder is its source folder");
                return std::nullopt;
            }
            // A target inside the source is never walked, so no run places its own results
            // again one level deeper.
            request.skip = target;
        }
        if (options_.identities) planRoots(source);
        return request;
    }

    // The entry's folder relative to the source ("/" or "/Notes/"), made once per folder.
    const std::string& relativeOf(const WalkedFolder& folder) {
        if (folder.index != relativeFolder_) {
            relativeFolder_ = folder.index;
            relative_ = folder.path.substr(rootLength_ - 1);
        }
        return relative_;
    }

    // The folder a merged folder's entries go to, without trailing "/".
    std::string mirroredFolder(const WalkedFolder& folder, const SelectedEntry& entry) {
        if (plan_.record.flat) return withoutTrailingSlashes(placement_.targetFolderFor("/"));
        return placement_.targetFolderFor(relativeOf(folder)) + entry.name;
    }

    // Adds the folder and its missing parents to the folders to make, parents first. Below
    // a folder the run makes nothing exists yet, so only the first missing one is looked for.
    void needFolder(const std::string& folder) {
        if (folder.empty() || !known_.insert(folder)) return;
        const std::string parent = withoutTrailingSlashes(folderPart(folder));
        needFolder(parent);
        if (!made_.contains(parent) && files_.isFolder(folder)) return;
        made_.insert(folder);
        plan_.foldersToMake.push_back(folder);
        placement_.planFolder(folder);
    }

    // The folders a subfolder template puts the entry in: "" or "2026/12/".
    std::string subfolderOf(const SelectedEntry& entry) const {
        return rules().subfolder.filled({entry.name, entry.identity.modifiedNs});
    }

    // Every folder the folder's entries go to, and the mirror of every merged folder, so that
    // a tree moved whole is rebuilt with its empty folders too; before any of its entries is
    // placed, so that none takes a name a folder of the run needs. The folders the entries of
    // folders listed later need are planned with those: where a template makes a later
    // folder's target name the same as an earlier entry's, the run finds the name taken and
    // draws another for the entry, as for a name another program took.
    void planFolders(const WalkedFolder& folder) {
        needFolder(withoutTrailingSlashes(plan_.record.targetFolder));
        const bool sorted = !rules().subfolder.empty();
        if (plan_.record.flat && !sorted) return;
        bool targetNeeded = false;
        for (const SelectedEntry& entry : folder.selected) {
            if (entry.entered) needFolder(mirroredFolder(folder, entry));
            if (sorted) {
                // No folder is made for an entry that stays: one that cannot be looked at
                // fails, a busy one waits for a later run.
                if (entry.entered || entry.error != 0 ||
                    busy_->check(entry.name, entry.identity) != BusyReason::None) {
                    continue;
                }
                needFolder(withoutTrailingSlashes(placement_.targetFolderFor(relativeOf(folder)) +
                                                  subfolderOf(entry)));
                continue;
            }
            if (targetNeeded) continue;
            targetNeeded = true;
            needFolder(withoutTrailingSlashes(placement_.targetFolderFor(relativeOf(folder))));
        }
    }

    // Makes the entry's step in the one handed in: a preview hands in the same step for
    // every entry, so that its paths keep their room instead of being allocated each time.
    PlanStep& step(const WalkedFolder& folder, const SelectedEntry& entry, PlanStep& step) {
        renew(step);
        step.action = action();
        step.source.assign(folder.path).append(entry.name);
        step.identity = entry.identity;
        if (entry.error != 0) {
            step.status = StepStatus::Failed;
            step.error = systemErrorText(entry.error);
            return step;
        }
        if (entry.entered) {
            step.status = StepStatus::Merged;
            if (placing()) step.target = mirroredFolder(folder, entry);
            return step;
        }
        if (busy_->check(entry.name, entry.identity) != BusyReason::None) {
            step.status = StepStatus::Busy;
            return step;
        }
        if (!placing()) return step;
        const std::string& relative = relativeOf(folder);
        // Without templates the entry keeps its name and goes where its folder goes; the
        // templates' results are kept in strings that keep their room from entry to entry.
        std::string_view subfolder;
        if (!rules().subfolder.empty()) {
            subfolder_ = subfolderOf(entry);
            subfolder = subfolder_;
        }
        std::string_view name = entry.name;
        if (!rules().rename.empty()) {
            renamed_ = rules().rename.filled({entry.name, entry.identity.modifiedNs});
            if (std::string problem = unusableName(renamed_); !problem.empty()) {
                step.status = StepStatus::Failed;
                step.error = std::move(problem);
                return step;
            }
            name = renamed_;
        }
        if (plan_.record.skipSame) {
            const std::string plain =
                joined(joined(placement_.targetFolderFor(relative), subfolder), name);
            if (compareContent(step.source, plain).same()) {
                step.status = StepStatus::Same;
                step.target = plain;
                return step;
            }
        }
        PlacedName placed;
        if (!placement_.place({relative, subfolder, name, folder.device, entry.inode}, step.target,
                              placed)) {
            step.status = StepStatus::Failed;
            step.error = "no free target name found";
            return step;
        }
        step.nameDraws = placed.draws;
        step.nameSeed = placed.seed;
        return step;
    }

    const PlanOptions& options_;
    FileActions& files_;
    CheckedRecord checked_;
    Placement placement_;
    RunPlan plan_;
    std::optional<BusyCheck> busy_;
    NameSet known_;               // folders already judged for making
    NameSet made_;                // those of them the run makes
    std::size_t rootLength_ = 0;  // of the source root, with its "/"
    std::size_t relativeFolder_ = static_cast<std::size_t>(-1);
    std::string relative_;
    PlanStep shown_;         // the step at hand, its paths' room kept from entry to entry
    std::string subfolder_;  // the latest entry's subfolder template, filled
    std::string renamed_;    // the latest entry's new name
};

}  // namespace

RunPlan planRecord(const TaskRecord& record, const std::string& name, const PlanOptions& options) {
    return Planner(record, name, options).plan();
}

RunPlan planTask(const SettingsFile& settings, const std::string& name,
                 const PlanOptions& options) {
    const std::optional<TaskRecord> record = readTaskRecord(settings, name);
    if (!record) {
        RunPlan plan;
        plan.task = name;
        plan.error = cannotRunMessage(name, "it has no record");
        return plan;
    }
    return planRecord(*record, name, options);
}

// The start of the minute, so that a preview and the run after it, in the same minute, agree
// at the bounds.
std::int64_t judgingTime(std::optional<std::int64_t> nowNs) {
    constexpr std::int64_t kMinuteNs = 60'000'000'000;
    const std::int64_t now = nowNs.value_or(automaticStartNow());
    return now - (((now % kMinuteNs) + kMinuteNs) % kMinuteNs);
}

std::int64_t automaticStartNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace kestrune
