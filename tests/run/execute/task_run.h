#pragma once

// What the tests of a task's run share: the run told step by step, and a task over a scratch
// Inbox and Sorted.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "run/execute/plan_executor.h"
#include "run/plan/run_planner.h"
#include "support/scratch_dir.h"

namespace kestrune::test {

// The random part that a taken name gets.
inline const std::string kPart = "[a-zA-Z0-9]{12}";

// The path as a regular expression that matches just it: a Windows path's "\" and "." stand
// for themselves.
inline std::string literal(const std::string& path) {
    std::string out;
    for (const char c : path) {
        if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) out += '\\';
        out += c;
    }
    return out;
}

// Each step's result and each emptied folder, as the run told them.
class Recorder : public ExecutionObserver {
  public:
    bool stepDone(std::size_t /*index*/, const StepResult& result) override {
        results.push_back(result);
        return keepGoing;
    }
    void folderRemoved(const std::string& path, const FolderShape&) override {
        removed.push_back(path);
    }
    std::vector<StepResult> results;
    std::vector<std::string> removed;
    bool keepGoing = true;
};

struct Outcome {
    RunPlan plan;
    RunTotals totals;
    std::vector<StepResult> results;
    std::vector<std::string> removed;
    bool ok(std::size_t i) const { return results.at(i).status != StepStatus::Failed; }
};

inline Outcome run(const TaskRecord& record, const std::string& name, FileActions* files = nullptr,
                   bool keepGoing = true) {
    Outcome outcome;
    outcome.plan = planRecord(record, name, {files, nullptr});
    Recorder recorder;
    recorder.keepGoing = keepGoing;
    ExecuteOptions options;
    options.observer = &recorder;
    options.files = files;
    outcome.totals = executePlan(outcome.plan, options);
    outcome.results = std::move(recorder.results);
    outcome.removed = std::move(recorder.removed);
    return outcome;
}

class TaskRunTest : public ScratchTest {
  protected:
    std::string inbox() const { return scratch.file("Inbox"); }
    std::string sorted() const { return scratch.file("Sorted"); }
    TaskRecord record(int action, const std::string& filters, int depthCode = 0) const {
        return {inbox(), sorted(), action, depthCode, filters, false};
    }
    // The source of the worked example: a stand-in for C:\Inbox and D:\Sorted.
    void makeExample() const {
        makeFile(inbox() + "/a.txt", "inbox a");
        makeFile(inbox() + "/b.doc", "b");
        makeFile(inbox() + "/c.jpg", "c");
        makeFile(inbox() + "/Notes/a.txt", "notes a");
        makeFile(inbox() + "/Notes/Old/x.txt", "x");
        makeFile(sorted() + "/a.txt", "sorted a");
    }
};

}  // namespace kestrune::test
