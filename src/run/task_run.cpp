#include "run/task_run.h"

#include <cerrno>
#include <optional>
#include <unordered_map>

#include "platform/file_actions.h"
#include "platform/folder_listing.h"
#include "run/folder_path.h"
#include "run/folder_walk.h"
#include "run/placement.h"

namespace kestrune {

namespace {

// Another program may take a planned name just before the action; the action then fails
// without harm and the entry gets a fresh name.
constexpr int kAttempts = 3;

std::string cannotRun(const std::string& task, const std::string& reason) {
    return "Task \"" + task + "\" cannot run: " + reason;
}

std::string sourceRootOf(const std::string& folder) {
    return folder.back() == '/' ? folder : folder + "/";
}

class TaskRun {
  public:
    TaskRun(const TaskRecord& record, const std::string& taskName, const RunOptions& options)
        : record_(record),
          options_(options),
          files_(options.files != nullptr ? *options.files : systemFileActions()),
          placement_(files_, randomNames(), record.targetFolder, record.flat) {
        report_.task = taskName;
        report_.preview = options.preview;
    }

    RunReport run() {
        std::optional<WalkRequest> request = check();
        if (!request) return std::move(report_);
        const WalkResult walk = walkAndSelect(*request, FilterPieces(record_.filters));
        if (!walk.selection.empty() && !mirror(walk)) return std::move(report_);
        for (const auto& entry : walk.selection) {
            if (!handle(walk, entry)) {
                report_.stopped = true;
                break;
            }
        }
        return std::move(report_);
    }

  private:
    Action action() const { return static_cast<Action>(record_.action); }
    bool placing() const { return action() != Action::Delete; }

    void fail(const std::string& reason) { report_.error = cannotRun(report_.task, reason); }

    // Nothing is touched when the record cannot run or would act on its own source.
    std::optional<WalkRequest> check() {
        if (const std::string problem = recordProblem(record_); !problem.empty()) {
            fail(problem);
            return std::nullopt;
        }
        WalkRequest request{sourceRootOf(record_.sourceFolder), record_.depthCode, {}};
        FolderId source;
        if (!folderIdentity(record_.sourceFolder, source)) {
            fail("its source folder \"" + record_.sourceFolder +
                 "\" does not exist or is not a folder");
            return std::nullopt;
        }
        FolderId target;
        if (placing() && folderIdentity(record_.targetFolder, target)) {
            if (target == source) {
                fail("its target folder is its source folder");
                return std::nullopt;
            }
            // A target inside the source is never walked, so no run places its own results
            // again one level deeper.
            request.skip = target;
        } else if (placing() && !files_.exists(record_.targetFolder)) {
            placement_.targetIsNew();
        }
        return request;
    }

    // Creates the folders that will receive an entry, before any entry is acted on.
    bool mirror(const WalkResult& walk) {
        if (!placing() || options_.preview) return true;
        const ActionResult root = makeFolderPath(files_, record_.targetFolder);
        if (!root.ok()) {
            fail(root.error);
            return false;
        }
        if (record_.flat) return true;
        std::size_t last = walk.folders.size();
        for (const auto& entry : walk.selection) {
            if (entry.folder == last) continue;
            last = entry.folder;
            const std::string folder = placement_.targetFolderFor(relativeOf(walk, entry));
            const ActionResult made = makeFolderPath(files_, folder);
            if (!made.ok()) folderProblems_[entry.folder] = made.error;
        }
        return true;
    }

    // The entry's folder relative to the source ("/" or "/Notes/"), made once per folder.
    const std::string& relativeOf(const WalkResult& walk, const SelectedEntry& entry) {
        if (entry.folder != relativeFolder_) {
            relativeFolder_ = entry.folder;
            relative_ = walk.folders[entry.folder].substr(walk.folders.front().size() - 1);
        }
        return relative_;
    }

    ActionResult perform(const std::string& source, const std::string& target) {
        switch (action()) {
            case Action::Move:
                return files_.move(source, target);
            case Action::Copy:
                return files_.copy(source, target);
            case Action::Delete:
                return files_.remove(source);
            case Action::None:
            case Action::Trash:
                break;
        }
        return ActionResult::failure(EINVAL);
    }

    ActionResult placeAndPerform(const WalkResult& walk, const SelectedEntry& entry,
                                 EntryResult& result) {
        if (const auto problem = folderProblems_.find(entry.folder);
            problem != folderProblems_.end()) {
            result.target = placement_.targetFolderFor(relativeOf(walk, entry)) + entry.name;
            return ActionResult::failure(ENOENT, problem->second);
        }
        ActionResult outcome;
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            auto target = placement_.place(relativeOf(walk, entry), entry.name);
            if (!target) return ActionResult::failure(EEXIST, "no free target name found");
            result.target = std::move(*target);
            if (options_.preview) return ActionResult::success();
            outcome = perform(result.source, result.target);
            if (outcome.code != EEXIST) break;
        }
        return outcome;
    }

    // False when the observer asks to stop.
    bool handle(const WalkResult& walk, const SelectedEntry& entry) {
        EntryResult result;
        result.action = action();
        result.source = walk.path(entry);
        ActionResult outcome;
        if (placing()) {
            outcome = placeAndPerform(walk, entry, result);
        } else if (!options_.preview) {
            outcome = perform(result.source, {});
        }
        result.ok = outcome.ok();
        result.error = outcome.error;
        ++(result.ok ? report_.succeeded : report_.failed);
        const bool goOn = options_.observer == nullptr || options_.observer->entryDone(result);
        if (options_.keepEntries) report_.entries.push_back(std::move(result));
        return goOn;
    }

    const TaskRecord& record_;
    const RunOptions& options_;
    FileActions& files_;
    Placement placement_;
    std::unordered_map<std::size_t, std::string> folderProblems_;
    std::size_t relativeFolder_ = static_cast<std::size_t>(-1);
    std::string relative_;
    RunReport report_;
};

}  // namespace

RunReport runTaskRecord(const TaskRecord& record, const std::string& taskName,
                        const RunOptions& options) {
    return TaskRun(record, taskName, options).run();
}

RunReport runTask(const SettingsFile& settings, const std::string& taskName,
                  const RunOptions& options) {
    const std::optional<TaskRecord> record = readTaskRecord(settings, taskName);
    if (!record) {
        RunReport report;
        report.task = taskName;
        report.preview = options.preview;
        report.error = cannotRun(taskName, "it has no record");
        return report;
    }
    return runTaskRecord(*record, taskName, options);
}

}  // namespace kestrune
