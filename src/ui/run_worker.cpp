#include "ui/run_worker.h"

#include <algorithm>

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

// Feeds the progress: the plan's size, the entries handled so far and the one at hand.
class ProgressView final : public RunView {
  public:
    ProgressView(RunProgress& progress, std::string title)
        : progress_(progress), title_(std::move(title)) {}
    void planned(const RunPlan& plan) override {
        plan_ = &plan;
        progress_.begin(title_.empty() ? plan.task : title_ + plan.task, plan.steps.size());
    }
    void stepStarted(std::size_t index) override {
        progress_.setCurrent(plan_->steps[index].source);
        progress_.done = index;
    }
    bool stepDone(std::size_t index, const StepResult&) override {
        if (progress_.done < index + 1) progress_.done = index + 1;
        return true;
    }

  private:
    RunProgress& progress_;
    std::string title_;
    const RunPlan* plan_ = nullptr;
};

}  // namespace

RunWorker::RunWorker(std::string stateFolder, QObject* parent)
    : QObject(parent), service_(std::move(stateFolder)), inThread_(new QObject) {
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
    std::lock_guard lock(stopsLock_);
    for (const Stop& stop : stops_) stop->store(true);
}

void RunWorker::forget(const Stop& stop) {
    std::lock_guard lock(stopsLock_);
    stops_.erase(std::remove(stops_.begin(), stops_.end(), stop), stops_.end());
}

void RunWorker::submit(RunJob job) {
    ++pending_;
    const Stop stop = std::make_shared<std::atomic<bool>>(false);
    {
        std::lock_guard lock(stopsLock_);
        stops_.push_back(stop);
    }
    QMetaObject::invokeMethod(inThread_, [this, job = std::move(job), stop] {
        RunOutcome outcome;
        if (stop->load()) {
            outcome.job = job;
            outcome.dropped = true;
        } else {
            progress_.begin(job.task, 0);
            outcome = carryOut(job, *stop);
        }
        forget(stop);
        QMetaObject::invokeMethod(this, [this, outcome = std::move(outcome)] {
            --pending_;
            emit finished(outcome);
        });
    });
}

RunOutcome RunWorker::carryOut(const RunJob& job, const std::atomic<bool>& stop) {
    RunOutcome outcome;
    outcome.job = job;
    ProgressView view(progress_, job.kind == RunJob::Kind::Undo ? "Undo " : "");
    try {
        switch (job.kind) {
            case RunJob::Kind::Preview: {
                PlanOptions options;
                options.passedOver = [&outcome](const std::string& path, std::string_view why) {
                    if (outcome.passedOver.size() < RunOutcome::kMostPassedOver) {
                        outcome.passedOver.push_back({path, std::string(why)});
                    }
                    ++outcome.passedOverTotal;
                };
                auto plan = std::make_shared<RunPlan>(service_.plan(job.task, options));
                outcome.summary.task = job.task;
                outcome.summary.error = plan->error;
                for (const PlanStep& step : plan->steps) outcome.summary.figures.add(step.status);
                outcome.summary.figures.failed += plan->unreadable.size();
                outcome.plan = std::move(plan);
                break;
            }
            case RunJob::Kind::Task:
                outcome.summary = service_.runTask(job.task, &view, &stop);
                break;
            case RunJob::Kind::Automatic:
                outcome.summary = service_.runAutomatically(job.task, &view, &stop);
                break;
            case RunJob::Kind::Plan:
                outcome.summary = service_.runPlan(*job.plan, &view, &stop);
                break;
            case RunJob::Kind::Undo:
                outcome.summary = service_.undo(job.undoId, &view, &stop);
                break;
        }
    } catch (const std::exception& error) {
        outcome.summary.task = job.task;
        outcome.summary.error = error.what();
    }
    if (outcome.job.task.empty()) outcome.job.task = outcome.summary.task;
    return outcome;
}

}  // namespace kestrune::ui
