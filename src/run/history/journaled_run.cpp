#include "run/history/journaled_run.h"

#include <chrono>

#include "run/history/journal.h"
#include "run/history/run_history.h"

namespace kestrune {

namespace {

// Tells the journal first, then the caller's observer; the run goes on while both want it.
class BothObservers final : public ExecutionObserver {
  public:
    BothObservers(ExecutionObserver& journal, ExecutionObserver* other)
        : journal_(journal), other_(other) {}

    void folderMade(const std::string& path) override {
        journal_.folderMade(path);
        if (other_ != nullptr) other_->folderMade(path);
    }
    void stepStarted(std::size_t index) override {
        if (other_ != nullptr) other_->stepStarted(index);
    }
    bool stepDone(std::size_t index, const StepResult& result) override {
        const bool journalGoesOn = journal_.stepDone(index, result);
        const bool otherGoesOn = other_ == nullptr || other_->stepDone(index, result);
        return journalGoesOn && otherGoesOn;
    }
    void copied(std::size_t index, const std::string& temporary,
                const EntryIdentity& identity) override {
        journal_.copied(index, temporary, identity);
        if (other_ != nullptr) other_->copied(index, temporary, identity);
    }
    void placed(std::size_t index, const StepResult& result) override {
        journal_.placed(index, result);
        if (other_ != nullptr) other_->placed(index, result);
    }
    void folderRemoved(const std::string& path, const FolderShape& shape) override {
        journal_.folderRemoved(path, shape);
        if (other_ != nullptr) other_->folderRemoved(path, shape);
    }
    bool durable() override {
        const bool journalGoesOn = journal_.durable();
        const bool otherGoesOn = other_ == nullptr || other_->durable();
        return journalGoesOn && otherGoesOn;
    }

  private:
    ExecutionObserver& journal_;
    ExecutionObserver* other_;
};

}  // namespace

JournaledRun runJournaled(const RunPlan& plan, const std::string& stateFolder,
                          const ExecuteOptions& options, std::size_t historySize,
                          const std::string& undoes) {
    JournalWriter journal(stateFolder, plan, std::chrono::system_clock::now(), undoes);
    BothObservers observers(journal, options.observer);
    ExecuteOptions withJournal = options;
    withJournal.observer = &observers;
    withJournal.runId = journal.id();
    JournaledRun run;
    run.totals = executePlan(plan, withJournal);
    run.journalId = journal.id();
    run.journalPath = journal.path();
    // A run stopped part-way, by its user or by a journal that could not follow, reads as
    // interrupted: it can be undone as far as it went.
    journal.finish(run.totals.stopped ? RunState::Interrupted : RunState::Done);
    run.figures = journal.figures();
    run.journalError = journal.error();
    pruneHistory(stateFolder, historySize);
    return run;
}

}  // namespace kestrune
