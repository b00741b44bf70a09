#include "ui/run_worker.h"

#include "run/history/run_undo.h"
#include "run/plan/plan_check.h"
#include "run/plan/run_planner.h"

namespace kestrune::ui {

void RunProgress::begin(const std::string& task, std::size_t planned) {
    std::lock_guard lock(mutex_);
    task_ = task;
    current_.clear();
    done = 0;
    total = planned;
}

void RunProgress::setCurrent(const std::string& path) {
    std::lock_guard lock(mutex_);
    current_ = path;
}

std::string RunProgress::task() const {
    std::lock_guard lock(mutex_);
    return task_;
}

std::string RunProgress::current() const {
    std::lock_guard lock(mutex_);
    return current_;
}

namespace {

// Feeds the progress: the entries handled so far and the one at hand. (Cancel reaches the
// executor itself, as its stop request.)
class ProgressObserver final : public ExecutionObserver {
  public:
    ProgressObserver(const RunPlan& plan, RunProgress& progress)
        : plan_(plan), progress_(progress) {}
    void stepStarted(std::size_t index) override {
        progress_.setCurrent(plan_.steps[index].source);
        progress_.done = index;
    }
    bool stepDone(std::size_t index, const StepResult&) override {
        if (progress_.done < index + 1) progress_.done = index + 1;
        return true;
    }

  private:
    const RunPlan& plan_;
    RunProgress& progress_;
};

Action actionOf(const RunPlan& plan) {
    return static_cast<Action>(plan.record.action);
}

}  // namespace

RunWorker::RunWorker(std::string stateFolder, QObject* parent)
    : QObject(parent), stateFolder_(std::move(stateFolder)), inThread_(new QObject) {
    inThread_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, inThread_, &QObject::deleteLater);
    thread_.start();
}

RunWorker::~RunWorker() {
    cancelAll();
    thread_.quit();
    thread_.wait();
}

void RunWorker::cancelAll() {
    if (!busy()) return;
    ++generation_;
    progress_.cancel = true;
}

void RunWorker::submit(RunJob job, std::size_t historySize) {
    ++pending_;
    const unsigned generation = generation_;
    QMetaObject::invokeMethod(inThread_, [this, job = std::move(job), historySize, generation] {
        RunOutcome outcome;
        if (generation == generation_) {
            progress_.cancel = false;
            progress_.begin(job.task, 0);
            outcome = carryOut(job, historySize);
        } else {
            outcome.job = job;
            outcome.dropped = true;
        }
        QMetaObject::invokeMethod(this, [this, outcome = std::move(outcome)] {
            --pending_;
            emit finished(outcome);
        });
    });
}

RunOutcome RunWorker::carryOut(const RunJob& job, std::size_t historySize) {
    RunOutcome outcome;
    outcome.job = job;
    try {
        ExecuteOptions options;
        options.stop = &progress_.cancel;
        switch (job.kind) {
            case RunJob::Kind::Preview:
            case RunJob::Kind::Task: {
                auto plan = std::make_shared<RunPlan>();
                if (job.record) {
                    PlanOptions planning;
                    if (job.automatic) planning.automaticStartNs = automaticStartNow();
                    *plan = planRecord(*job.record, job.task, planning);
                } else {
                    plan->task = job.task;
                    plan->error = cannotRunMessage(job.task, "it has no record");
                }
                outcome.plan = plan;
                outcome.action = actionOf(*plan);
                if (!plan->error.empty()) {
                    outcome.error = plan->error;
                } else if (job.kind == RunJob::Kind::Task) {
                    progress_.begin(job.task, plan->steps.size());
                    ProgressObserver observer(*plan, progress_);
                    options.observer = &observer;
                    outcome.run = runJournaled(*plan, stateFolder_, options, historySize);
                }
                break;
            }
            case RunJob::Kind::Plan: {
                outcome.plan = job.plan;
                outcome.action = actionOf(*job.plan);
                outcome.error = planStillHolds(*job.plan);
                if (!outcome.error.empty()) {
                    outcome.error =
                        "The run was not started: " + outcome.error + ". Preview the task again.";
                    break;
                }
                progress_.begin(job.task, job.plan->steps.size());
                ProgressObserver observer(*job.plan, progress_);
                options.observer = &observer;
                outcome.run = runJournaled(*job.plan, stateFolder_, options, historySize);
                break;
            }
            case RunJob::Kind::Undo: {
                const UndoPlan undo = planUndoOf(stateFolder_, job.undoId);
                outcome.job.task = undo.plan.task;
                progress_.begin("Undo " + undo.plan.task, undo.plan.steps.size());
                ProgressObserver observer(undo.plan, progress_);
                options.observer = &observer;
                outcome.run = runUndo(undo, stateFolder_, options, historySize);
                break;
            }
        }
        if (outcome.error.empty()) outcome.error = outcome.run.totals.error;
    } catch (const std::exception& error) {
        outcome.error = error.what();
    }
    return outcome;
}

}  // namespace kestrune::ui
