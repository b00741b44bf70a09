// POSIX: the power is cut by a layer that keeps removed entries as hard links.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "platform/temporary_name.h"
#include "run/history/journaled_run.h"
#include "run/history/run_history.h"
#include "run/history/run_recovery.h"
#include "run/plan/run_planner.h"
#include "support/power_cut_files.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::makeFile;
using test::readFile;

// How many times each content stands below the folders, and what stands there that should
// not: temporary copies, entries the power cut kept.
struct Count {
    std::map<std::string, int> copies;
    int leftovers = 0;
};

Count count(const std::vector<std::string>& folders) {
    Count counted;
    for (const std::string& folder : folders) {
        if (!fs::exists(folder)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (!entry.is_regular_file()) continue;
            const std::string name = entry.path().filename().string();
            if (isTemporaryName(name) || name.rfind(".power-cut-kept-", 0) == 0) {
                ++counted.leftovers;
            } else if (entry.path().extension() != ".trashinfo") {
                ++counted.copies[readFile(entry.path().string())];
            }
        }
    }
    return counted;
}

// The journal's bytes that were on disk when the power went: its plan, and what each of the
// executor's durable() calls put there.
class JournalOnDisk : public ExecutionObserver {
  public:
    explicit JournalOnDisk(std::string history) : history_(std::move(history)) {}
    bool stepDone(std::size_t, const StepResult&) override { return true; }
    bool durable() override {
        synced_ = size();
        return true;
    }
    // Cuts the journal back to what was on disk.
    void powerCut() const {
        const std::string path = journal();
        if (!path.empty()) fs::resize_file(path, synced_ ? *synced_ : planned_);
    }
    void planned() { planned_ = size(); }

  private:
    std::string journal() const {
        if (!fs::exists(history_)) return {};
        for (const auto& entry : fs::directory_iterator(history_)) return entry.path().string();
        return {};
    }
    std::uintmax_t size() const {
        const std::string path = journal();
        return path.empty() ? 0 : fs::file_size(path);
    }
    std::string history_;
    std::uintmax_t planned_ = 0;
    std::optional<std::uintmax_t> synced_;
};

// Hears the plan made durable before the first step: the journal holds just its plan then.
class FirstLook : public test::PowerCutFiles {
  public:
    FirstLook(int cutAt, JournalOnDisk& journal) : PowerCutFiles(cutAt), journal_(journal) {}
    ActionResult openRoot(const std::string& path, OpenFolder& out) override {
        if (!looked_) journal_.planned();
        looked_ = true;
        return PowerCutFiles::openRoot(path, out);
    }

  private:
    JournalOnDisk& journal_;
    bool looked_ = false;
};

std::string otherFileSystem(const std::string& scratch) {
    struct stat shm {
    }, disk{};
    if (stat("/dev/shm", &shm) != 0 || stat(scratch.c_str(), &disk) != 0 ||
        shm.st_dev == disk.st_dev) {
        return {};
    }
    char pattern[] = "/dev/shm/kestrune-cut-XXXXXX";
    return mkdtemp(pattern) != nullptr ? pattern : "";
}

struct Scenario {
    const char* what;
    int action;
    bool across;
};

// At every point the power can go in a small run, the next start's recovery leaves every
// file whole at least once, and none twice (a copy run: the source once, its copy at most
// once).
TEST(PowerCut, AtEveryCutPointRecoveryLeavesEveryFileWholeOnceAndNoneTwice) {
    const std::vector<Scenario> scenarios = {{"move", 1, false},
                                             {"move to another file system", 1, true},
                                             {"copy", 2, false},
                                             {"copy to another file system", 2, true},
                                             {"trash", 4, false}};
    int round = 0;
    for (const Scenario& scenario : scenarios) {
        test::ScratchDir scratch;
        const std::string other = scenario.across ? otherFileSystem(scratch.path()) : "";
        if (scenario.across && other.empty()) continue;
        for (int cutAt = 0;; ++cutAt) {
            const std::string where =
                std::string(scenario.what) + ", power cut at call " + std::to_string(cutAt);
            const std::string n = std::to_string(++round);
            const std::string source = scratch.file("in" + n);
            const std::string target = (other.empty() ? scratch.file("out") : other) + "/t" + n;
            const std::string state = scratch.file("state" + n);
            const std::string data = scratch.file("data" + n);
            const test::ScopedVariable trashHome("XDG_DATA_HOME", data);
            for (const char* name : {"a.txt", "b.txt", "sub/c.txt", "sub/deeper/d.txt"}) {
                makeFile(source + "/" + name, std::string(name) + " of round " + n);
            }
            const TaskRecord record{
                source, scenario.action == 4 ? "" : target, scenario.action, 0, "*.txt;sub", false};
            const RunPlan plan = planRecord(record, "Cut");
            JournalOnDisk journal(historyFolderOf(state));
            FirstLook files(cutAt, journal);
            ExecuteOptions options;
            options.files = &files;
            options.observer = &journal;
            try {
                runJournaled(plan, state, options, kDefaultHistorySize);
            } catch (const test::PowerCut&) {
            }
            if (files.cut()) {
                journal.powerCut();
                recoverInterruptedRuns(state);
            }
            const Count counted = count({source, target, data + "/Trash/files"});
            EXPECT_EQ(counted.leftovers, 0) << where;
            EXPECT_EQ(counted.copies.size(), 4u) << where;
            for (const auto& [content, copies] : counted.copies) {
                if (scenario.action == 2) {
                    EXPECT_TRUE(copies == 1 || copies == 2) << where << ": " << content;
                } else {
                    EXPECT_EQ(copies, 1) << where << ": " << content;
                }
            }
            if (!files.cut()) break;
        }
        if (!other.empty()) fs::remove_all(other);
    }
}

}  // namespace
}  // namespace kestrune
