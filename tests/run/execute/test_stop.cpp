#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "platform/temporary_name.h"
#include "run/execute/plan_executor.h"
#include "run/plan/run_planner.h"
#include "support/forwarding_files.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::makeFile;
using test::readFile;

// Asks the run to stop when the chosen step starts, or, for a copy, once its copy has begun.
class StopAsker : public test::ForwardingFiles, public ExecutionObserver {
  public:
    StopAsker(std::size_t at, bool duringCopy) : at_(at), duringCopy_(duringCopy) {}
    void stepStarted(std::size_t index) override {
        if (index == at_ && !duringCopy_) stop = true;
        current_ = index;
    }
    bool stepDone(std::size_t, const StepResult& result) override {
        if (result.status == StepStatus::Done) ++done;
        return true;
    }
    ActionResult copyToTemporary(const OpenFolder& from, const std::string& name,
                                 const EntryIdentity& expected, const OpenFolder& to,
                                 const std::string& temporaryName, const std::atomic<bool>* asked,
                                 TemporaryCopy& out) override {
        if (current_ == at_ && duringCopy_) stop = true;
        return system.copyToTemporary(from, name, expected, to, temporaryName, asked, out);
    }
    std::atomic<bool> stop{false};
    std::size_t done = 0;

  private:
    std::size_t at_;
    bool duringCopy_;
    std::size_t current_ = 0;
};

std::size_t countBelow(const std::string& folder, bool temporaries) {
    std::size_t count = 0;
    if (!fs::exists(folder)) return 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        if (isTemporaryName(entry.path().filename().string()) == temporaries) ++count;
    }
    return count;
}

// A stop request before any step, or while a large file is copied, ends the run there: what
// was done stays done and whole, nothing is half-written, the rest stays as it was.
TEST(Stop, ARunStopsBeforeItsNextStepOrWithinACopy) {
    for (const bool duringCopy : {false, true}) {
        for (std::size_t at = 0; at < 4; ++at) {
            const test::ScratchDir scratch;
            const std::string where =
                (duringCopy ? "during the copy of step " : "at step ") + std::to_string(at);
            for (int i = 0; i < 4; ++i) {
                makeFile(scratch.file("in/" + std::to_string(i) + ".dat"),
                         std::string(i == 2 ? 24 << 20 : 1000, 'x'));
            }
            StopAsker asker(at, duringCopy);
            const RunPlan plan =
                planRecord({scratch.file("in"), scratch.file("out"), 2, 0, "*.dat", false}, "Stop");
            ExecuteOptions options;
            options.files = &asker;
            options.observer = &asker;
            options.stop = &asker.stop;
            const RunTotals totals = executePlan(plan, options);
            EXPECT_TRUE(totals.stopped) << where;
            EXPECT_EQ(asker.done, at) << where;
            EXPECT_EQ(countBelow(scratch.file("out"), false), at) << where;
            EXPECT_EQ(countBelow(scratch.file("out"), true), 0u) << where;
            EXPECT_EQ(countBelow(scratch.file("in"), false), 4u) << where;
        }
    }
}

}  // namespace
}  // namespace kestrune
