#pragma once

// The executor's inner workings, shared by its two source files: plan_executor.cpp (the
// steps) and executor_batches.cpp (copies and trash moves that wait for one flush).

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/file_actions.h"
#include "run/execute/open_folders.h"
#include "run/execute/plan_executor.h"

namespace kestrune {

class NameSource;

namespace execute {

// A step carried out, or one waiting for its batch's flush, reported in the plan's order.
struct Pending {
    enum class Kind {
        Outcome,    // carried out: `result` holds how it went
        Copy,       // a whole copy waits under a temporary name, to be put in place
        TrashMove,  // its .trashinfo waits to be on disk before the entry moves in
    };
    Kind kind = Kind::Outcome;
    std::size_t index = 0;
    StepResult result;
    OpenFolder from;  // the source's folder
    std::string name;
    EntryIdentity identity;
    OpenFolder to;             // the folder it goes to (the trash's files folder for a trash move)
    std::string targetFolder;  // that folder's path as the plan spells it, with "/"
    std::string finalName;
    TemporaryCopy copy;
    bool removeSource = false;  // a move: the source goes once its copy is in place
    bool freshNames = false;    // another name may be drawn when finalName is taken
    std::string record;         // trash: its record, written first, goes if the entry does not
    bool putsBack = false;      // from the trash: its record goes once the entry is back
    bool placed = false;        // the copy took its name
};

class Executor {
  public:
    Executor(const RunPlan& plan, const ExecuteOptions& options);
    RunTotals run();

  private:
    // plan_executor.cpp: the steps.
    bool makeFolders();
    std::string folderProblem(std::string_view folder) const;
    void perform(std::size_t index);
    void move(std::size_t index, const PlanStep& step);
    void copy(std::size_t index, const PlanStep& step);
    void remove(std::size_t index, const PlanStep& step, bool made);
    void trash(std::size_t index, const PlanStep& step);
    void putBack(std::size_t index, const PlanStep& step);
    enum class Renamed { Done, Failed, OtherFileSystem };
    Renamed renameInto(std::size_t index, const PlanStep& step, const OpenFolder& from,
                       const OpenFolder& to);
    ActionResult ensureTrash();
    void removeTrashRecord(const std::string& trashedName);
    void removeEmptied();
    void letGoOf(const std::string& folder, const EntryIdentity& identity,
                 const OpenFolder& parent);
    void restoreShapes();
    ActionResult openFolderOf(const std::string& path, OpenFolder& out);
    std::string realPathOf(const std::string& path) const;
    std::string freshName(const PlanStep& step, int attempt) const;
    bool stopAsked() const;

    // executor_batches.cpp: waiting copies and trash moves, reporting in order.
    void queueCopy(Pending pending, const OpenFolder& from, const std::string& name,
                   const EntryIdentity& identity);
    void queueWaiting(Pending pending);
    void report(std::size_t index, StepResult result);
    void deliver(std::size_t index, const StepResult& result);
    void settleIfFull();
    void settle();
    void putInPlace(Pending& pending);
    void moveIntoTrash(Pending& pending);
    void finishMoves(std::vector<Pending*>& moves);
    void takeBack(Pending& pending, const std::string& reason);
    void abandon(Pending& pending);
    void touch(const OpenFolder& folder);
    ActionResult flushTouched();
    void durable();
    std::string takenReason(const ActionResult& outcome) const;

    const RunPlan& plan_;
    ExecutionObserver* observer_;
    FileActions& files_;
    NameSource& names_;
    const std::atomic<bool>* stop_;
    std::string runId_;
    OpenFolders folders_;
    RunTotals totals_;
    bool abandoned_ = false;  // the journal could not follow: nothing more may change
    std::unordered_map<std::string, std::string> unmade_;  // folder -> why it was not made
    // The trash's files and info folders, opened at the first trash step.
    bool trashTried_ = false;
    ActionResult trashState_;
    OpenFolder trashFiles_;
    OpenFolder trashInfo_;
    std::vector<OpenFolder> touched_;  // one folder per file system written since the last flush
    std::deque<Pending> queue_;
    std::size_t waiting_ = 0;
    std::uint64_t waitingBytes_ = 0;
    std::size_t waitingFolders_ = 0;  // folders the waiting entries hold open
    const FolderHandle* lastHeld_ = nullptr;
};

}  // namespace execute
}  // namespace kestrune
