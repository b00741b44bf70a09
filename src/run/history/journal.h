#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "platform/append_file.h"
#include "platform/file_lock.h"
#include "run/execute/execution_observer.h"
#include "run/execute/run_figures.h"
#include "run/plan/run_plan.h"
#include "store/errors.h"

namespace kestrune {

// The state of a run as its history shows it; the words come from runStateWord().
// Running: its journal has no end and the process that writes it still lives.
// Unreadable: its journal cannot be read whole; nothing acts on it.
enum class RunState { Done, Interrupted, Undone, PartlyUndone, Running, Unreadable };
const char* runStateWord(RunState state);

// A journal that cannot be created or whose plan cannot be put on disk: the run must not act.
class JournalError : public Error {
  public:
    using Error::Error;
};

// The folder of the run journals in a state folder.
std::string historyFolderOf(const std::string& stateFolder);

// The journal of one run: a file in the state folder's history/, named by the run's id.
// It records the plan before the run acts and the outcome of each step as the run goes, so
// a run killed part-way can be recovered and any run undone.
class JournalWriter final : public ExecutionObserver {
  public:
    // Creates the journal of a run that started at `started` (or of an undo, naming the run
    // it undoes) and puts its header and the whole plan on disk. Throws JournalError.
    JournalWriter(const std::string& stateFolder, const RunPlan& plan,
                  std::chrono::system_clock::time_point started, const std::string& undoes = {});
    // Without finish(), the records so far are kept and the run reads as interrupted.
    ~JournalWriter() override;
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // Records are gathered and go to disk at durable(), the executor's word that the entries
    // reported so far are on disk themselves. Once a record cannot be written, stepDone()
    // returns false: a run goes no further than its journal can follow.
    void folderMade(const std::string& path) override;
    void copied(std::size_t index, const std::string& temporary,
                const EntryIdentity& identity) override;
    void placed(std::size_t index, const StepResult& result) override;
    bool stepDone(std::size_t index, const StepResult& result) override;
    void folderRemoved(const std::string& path, const FolderShape& shape) override;
    bool durable() override;

    // Records the end (Done, or Interrupted for a run stopped part-way) with the run's
    // figures and puts it on disk.
    void finish(RunState end);
    // The figures of the outcomes so far, the plan's unreadable folders among the failed.
    const RunFigures& figures() const { return figures_; }

    const std::string& id() const { return id_; }
    const std::string& path() const { return path_; }
    // Why the journal could not be written, or empty.
    const std::string& error() const { return error_; }

  private:
    void create(const std::string& folder, std::chrono::system_clock::time_point started);
    void writePlan(const RunPlan& plan);
    void writePending(bool sync);

    AppendFile file_;
    FileLock live_;  // held while the run goes on: recovery leaves a live run's journal alone
    std::string id_;
    std::string path_;
    std::string pending_;
    std::string error_;
    RunFigures figures_;
    bool finished_ = false;
};

// What recovery found on disk of a run cut short, beyond the journal's own records.
struct FoundOnDisk {
    std::vector<std::string> foldersMade;
    std::vector<std::pair<std::string, FolderShape>> foldersRemoved;
    std::vector<std::pair<std::size_t, StepResult>> outcomes;  // step index, outcome
};

// Ends the journal of a run that was cut short (killed, or its machine stopped) as
// interrupted, after its last whole line (anything after it, torn by the cut, goes), with
// what was found of it on disk, and puts it on disk. Throws JournalError; never writes to a
// journal that cannot be read whole.
void markInterrupted(const std::string& journalPath, const FoundOnDisk& found = {});

}  // namespace kestrune
