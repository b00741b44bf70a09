#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "run/execute/run_faults.h"
#include "support/forwarding_files.h"

namespace kestrune {
namespace {

using test::census;
using test::Census;
using test::Files;
using test::filesBelow;
using test::makeFile;
using test::makeTree;
using test::readFile;
using test::record;
using test::RunFaults;
using test::through;
namespace fs = std::filesystem;

// Fails the chosen call of any action that writes, with an I/O error.
class FailingFiles : public test::ForwardingFiles {
  public:
    explicit FailingFiles(int failAt) : failAt_(failAt) {}
    ActionResult rename(const OpenFolder& from, const std::string& name,
                        const EntryIdentity& expected, const OpenFolder& to,
                        const std::string& newName, EntryIdentity& made) override {
        return fail() ? io() : system.rename(from, name, expected, to, newName, made);
    }
    ActionResult remove(const OpenFolder& folder, const std::string& name,
                        const EntryIdentity& expected) override {
        return fail() ? io() : system.remove(folder, name, expected);
    }
    ActionResult removeFolder(const OpenFolder& folder, const std::string& name,
                              const EntryIdentity& expected) override {
        return fail() ? io() : system.removeFolder(folder, name, expected);
    }
    ActionResult removeMade(const OpenFolder& folder, const std::string& name,
                            const EntryIdentity& expected) override {
        return fail() ? io() : system.removeMade(folder, name, expected);
    }
    ActionResult copyToTemporary(const OpenFolder& from, const std::string& name,
                                 const EntryIdentity& expected, const OpenFolder& to,
                                 const std::string& temporaryName, const std::atomic<bool>* stop,
                                 TemporaryCopy& out) override {
        return fail() ? io()
                      : system.copyToTemporary(from, name, expected, to, temporaryName, stop, out);
    }
    ActionResult flush(const OpenFolder& folder) override {
        return fail() ? io() : system.flush(folder);
    }
    ActionResult placeTemporary(const OpenFolder& folder, const TemporaryCopy& copy,
                                const std::string& name, EntryIdentity& made) override {
        return fail() ? io() : system.placeTemporary(folder, copy, name, made);
    }
    ActionResult removeCopiedSource(const OpenFolder& from, const std::string& name,
                                    const TemporaryCopy& copy) override {
        return fail() ? io() : system.removeCopiedSource(from, name, copy);
    }
    ActionResult makeFolder(const OpenFolder& parent, const std::string& name,
                            bool private_) override {
        return fail() ? io() : system.makeFolder(parent, name, private_);
    }
    ActionResult writeNewFile(const OpenFolder& folder, const std::string& name,
                              const std::string& content) override {
        return fail() ? io() : system.writeNewFile(folder, name, content);
    }
    bool failed() const { return calls_ > failAt_; }

  private:
    bool fail() { return calls_++ == failAt_; }
    static ActionResult io() { return ActionResult::failure(EIO); }
    int failAt_;
    int calls_ = 0;
};

TEST_F(RunFaults, FailureAtAnyOneStepLosesNothingAndLeavesNoPartFile) {
    if (other.empty()) std::cout << "only one file system: no run across file systems\n";
    int round = 0;
    for (const std::string& root : targetRoots()) {
        for (const int action : {1, 2}) {
            for (int failAt = 0;; ++failAt) {
                const std::string source = scratch.file("in" + std::to_string(++round));
                const std::string target = root + "/t" + std::to_string(round);
                const Files original = makeTree(source, 6, 5000);
                FailingFiles files(failAt);
                const RunPlan plan = planRecord(record(source, target, action), "Faults", {&files});
                const RunTotals totals = executePlan(plan, through(&files));
                const Census after = census(original, source, target);
                const std::string where = target + " action " + std::to_string(action) +
                                          " failing call " + std::to_string(failAt);
                EXPECT_EQ(after.lost, 0u) << where;
                EXPECT_EQ(after.wrong, 0u) << where;
                EXPECT_EQ(after.temporaries, 0u) << where;
                if (action == 1) {
                    EXPECT_LE(after.both, 1u) << where;
                }
                if (!files.failed()) {
                    EXPECT_EQ(totals.failed, 0u) << where;
                    break;
                }
            }
        }
    }
}

// Another program changes a source after its copy began, before the source is removed.
class ChangingFiles : public test::ForwardingFiles {
  public:
    explicit ChangingFiles(bool saveOver) : saveOver_(saveOver) {}
    ActionResult copyToTemporary(const OpenFolder& from, const std::string& name,
                                 const EntryIdentity& expected, const OpenFolder& to,
                                 const std::string& temporaryName, const std::atomic<bool>* stop,
                                 TemporaryCopy& out) override {
        const ActionResult copied =
            system.copyToTemporary(from, name, expected, to, temporaryName, stop, out);
        const std::string path = from->path() + name;
        if (saveOver_) {
            test::writeFile(path + ".new", "saved over");
            fs::rename(path + ".new", path);
        } else {
            std::FILE* file = std::fopen(path.c_str(), "a");
            std::fputs(" and more", file);
            std::fclose(file);
        }
        return copied;
    }

  private:
    bool saveOver_;
};

TEST_F(RunFaults, SourceChangedDuringAMoveAcrossFileSystemsIsKept) {
    if (other.empty()) GTEST_SKIP() << "/dev/shm and the scratch folder are one file system";
    for (const bool saveOver : {false, true}) {
        const std::string source = scratch.file(saveOver ? "saved" : "appended");
        makeFile(source + "/a.txt", "first");
        ChangingFiles files(saveOver);
        const RunPlan plan = planRecord(record(source, other + "/t", 1), "Change", {&files});
        const RunTotals totals = executePlan(plan, through(&files));
        EXPECT_EQ(totals.failed, 1u);
        EXPECT_EQ(readFile(source + "/a.txt"), saveOver ? "saved over" : "first and more");
        EXPECT_EQ(readFile(other + "/t/a.txt"), "first");
        fs::remove_all(other + "/t");
    }
}

// The order in which a run's copies are written, flushed, placed and reported.
class OrderLog : public test::ForwardingFiles, public ExecutionObserver {
  public:
    ActionResult copyToTemporary(const OpenFolder& from, const std::string& name,
                                 const EntryIdentity& expected, const OpenFolder& to,
                                 const std::string& temporaryName, const std::atomic<bool>* stop,
                                 TemporaryCopy& out) override {
        log.push_back("copy " + name);
        return system.copyToTemporary(from, name, expected, to, temporaryName, stop, out);
    }
    ActionResult flush(const OpenFolder& folder) override {
        log.push_back("flush");
        return system.flush(folder);
    }
    ActionResult placeTemporary(const OpenFolder& folder, const TemporaryCopy& copy,
                                const std::string& name, EntryIdentity& made) override {
        log.push_back("place " + name);
        return system.placeTemporary(folder, copy, name, made);
    }
    ActionResult removeCopiedSource(const OpenFolder& from, const std::string& name,
                                    const TemporaryCopy& copy) override {
        log.push_back("remove " + name);
        return system.removeCopiedSource(from, name, copy);
    }
    bool stepDone(std::size_t, const StepResult& result) override {
        log.push_back("done " + result.target.substr(result.target.rfind('/') + 1));
        return true;
    }
    void placed(std::size_t, const StepResult& result) override {
        log.push_back("placed " + result.target.substr(result.target.rfind('/') + 1));
    }
    bool durable() override {
        log.push_back("durable");
        return true;
    }
    std::vector<std::string> log;
};

std::ptrdiff_t at(const std::vector<std::string>& log, const std::string& what) {
    return std::find(log.begin(), log.end(), what) - log.begin();
}

TEST_F(RunFaults, CopiesReachTheDiskBeforeTheirNamesAndSourcesGoLast) {
    int round = 0;
    for (const std::string& root : targetRoots()) {
        const int action = root == other ? 1 : 2;
        const std::string source = scratch.file("order" + std::to_string(++round));
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) makeFile(source + "/" + name, name);
        OrderLog order;
        const RunPlan plan = planRecord(record(source, root + "/o", action), "Order", {&order});
        executePlan(plan, through(&order, &order));
        const auto& log = order.log;
        for (const std::string name : {"a.txt", "b.txt", "c.txt"}) {
            const auto copied = at(log, "copy " + name);
            const auto placed = at(log, "place " + name);
            const auto flushed = std::find(log.begin() + copied, log.end(), "flush") - log.begin();
            EXPECT_LT(flushed, placed) << name;
            EXPECT_LT(placed, at(log, "done " + name)) << name;
            if (action == 1) {
                // The copy's name is on disk, and the journal says so, before its source goes.
                const auto told = at(log, "placed " + name);
                const auto removed = at(log, "remove " + name);
                const auto flushedAgain =
                    std::find(log.begin() + placed, log.end(), "flush") - log.begin();
                const auto journaled =
                    std::find(log.begin() + told, log.end(), "durable") - log.begin();
                EXPECT_LT(flushedAgain, told) << name;
                EXPECT_LT(journaled, removed) << name;
                EXPECT_LT(removed, at(log, "done " + name)) << name;
            }
        }
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log.back(), "durable");
        EXPECT_EQ(log[log.size() - 2], "flush");
    }
}

}  // namespace
}  // namespace kestrune
