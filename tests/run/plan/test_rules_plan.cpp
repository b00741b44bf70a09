#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "run/editor/selection_preview.h"
#include "run/execute/plan_executor.h"
#include "run/plan/name_form.h"
#include "run/plan/run_planner.h"
#include "run/tree_helpers.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::makeFile;
using test::readFile;

constexpr std::int64_t kSecondNs = 1'000'000'000;
constexpr std::int64_t kDayNs = 86'400 * kSecondNs;

class RulesPlanTest : public test::ScratchTest {
  protected:
    std::string inbox() const { return scratch.file("Inbox"); }
    std::string sorted() const { return scratch.file("Sorted"); }
    TaskRecord record(int action, const std::string& filters) const {
        TaskRecord r;
        r.sourceFolder = inbox();
        r.targetFolder = sorted();
        r.action = action;
        r.filters = filters;
        return r;
    }
    std::vector<std::string> sources(const RunPlan& plan) const {
        std::vector<std::string> below;
        for (const PlanStep& step : plan.steps) below.push_back(step.source.substr(inbox().size()));
        return below;
    }
};

TEST_F(RulesPlanTest, ExcludedFoldersAreNotEnteredAndEveryEntryPassedOverSaysWhy) {
    for (const char* path : {"invoice-1.pdf", "notes.pdf", "photo.jpg", "Drafts/invoice-2.pdf",
                             "Old/invoice-3.pdf", "Old/.git/invoice-4.pdf", "x.bak"}) {
        makeFile(inbox() + "/" + path);
    }
    TaskRecord r = record(2, "*.pdf;*.bak;*");
    r.names = "invoice*;*.bak";
    r.exclude = "drafts;*.bak";
    r.filesOnly = true;
    std::map<std::string, std::string> passed;
    PlanOptions options;
    options.identities = false;
    options.passedOver = [&](const std::string& path, std::string_view reason) {
        EXPECT_TRUE(passed.emplace(path.substr(inbox().size()), reason).second) << path;
    };
    const RunPlan plan = planRecord(r, "Invoices", options);
    ASSERT_EQ(plan.error, "");
    EXPECT_EQ(sources(plan), (std::vector<std::string>{"/invoice-1.pdf", "/Old/invoice-3.pdf"}));
    EXPECT_EQ(passed, (std::map<std::string, std::string>{{"/Drafts", "excluded"},
                                                          {"/notes.pdf", "name"},
                                                          {"/photo.jpg", "extension"},
                                                          {"/x.bak", "excluded"},
                                                          {"/Old", "name"},
                                                          {"/Old/.git", "extension"}}));
    // The editor's live list follows the same rules, and shows where each entry goes.
    r.rename = "{name}-copy.{ext}";
    const SelectionPreview live = previewSelection(r, 10);
    EXPECT_EQ(live.shown, (std::vector<std::string>{"invoice-1.pdf", "Old/invoice-3.pdf"}));
    EXPECT_EQ(live.targets, (std::vector<std::string>{sorted() + "/invoice-1-copy.pdf",
                                                      sorted() + "/Old/invoice-3-copy.pdf"}));
}

// Ages are judged at the start of the minute the plan is made in: a preview and a run in the
// same minute select the same entries at the bound, and the bound itself counts as older.
TEST_F(RulesPlanTest, AgesAreJudgedAtTheStartOfTheMinute) {
    const std::int64_t minute = 1'796'817'600LL * kSecondNs;
    makeFile(inbox() + "/at-bound.png");
    makeFile(inbox() + "/second-after.png");
    test::setModifiedNs(inbox() + "/at-bound.png", minute - 30 * kDayNs);
    test::setModifiedNs(inbox() + "/second-after.png", minute - 30 * kDayNs + kSecondNs);
    TaskRecord r = record(1, "*.png");
    r.olderThan = "30d";
    for (const std::int64_t now : {minute, minute + 59 * kSecondNs}) {
        for (const bool identities : {false, true}) {
            PlanOptions options;
            options.nowNs = now;
            options.identities = identities;
            EXPECT_EQ(sources(planRecord(r, "Old", options)),
                      std::vector<std::string>{"/at-bound.png"});
        }
    }
    PlanOptions nextMinute;
    nextMinute.nowNs = minute + 60 * kSecondNs;
    EXPECT_EQ(sources(planRecord(r, "Old", nextMinute)).size(), 2u);
}

TEST_F(RulesPlanTest, PreviewAndRunPlaceAlikeWithTemplatesAndTakenNames) {
    const std::int64_t noon = 1'796'817'600LL * kSecondNs;
    for (const char* path : {"a.txt", "Sub/a.txt", "Sub/B.TXT", "c"}) {
        makeFile(inbox() + "/" + path, path);
        test::setModifiedNs(inbox() + "/" + path, noon);
    }
    makeFile(sorted() + "/txt/a-copy.txt", "taken");
    for (const bool flat : {true, false}) {
        TaskRecord r = record(2, "*.txt;*");
        r.flat = flat;
        r.subfolder = "{ext}";
        r.rename = "{name}-copy.{ext}";
        r.filesOnly = true;
        PlanOptions previewing;
        previewing.identities = false;
        const RunPlan preview = planRecord(r, "Copy", previewing);
        const RunPlan plan = planRecord(r, "Copy");
        ASSERT_EQ(plan.steps.size(), 4u);
        struct Results : ExecutionObserver {
            bool stepDone(std::size_t, const StepResult& result) override {
                targets.push_back(result.target);
                return true;
            }
            std::vector<std::string> targets;
        } results;
        ASSERT_EQ(executePlan(plan, {.observer = &results}).failed, 0u);
        for (std::size_t i = 0; i < plan.steps.size(); ++i) {
            EXPECT_EQ(results.targets[i], preview.steps[i].target) << i;
            EXPECT_EQ(readFile(results.targets[i]), readFile(plan.steps[i].source));
        }
        // a.txt and, when flat, Sub/a.txt find a-copy.txt taken.
        const std::string txt = sorted() + "/txt/";
        EXPECT_TRUE(isWithRandomPart(results.targets[0].substr(txt.size()), "a-copy.txt"));
        EXPECT_EQ(results.targets[1], sorted() + "/c-copy");
        const std::string sub = flat ? txt : sorted() + "/Sub/txt/";
        EXPECT_EQ(results.targets[2], sub + "B-copy.txt");
        if (flat) {
            EXPECT_TRUE(isWithRandomPart(results.targets[3].substr(txt.size()), "a-copy.txt"));
            EXPECT_NE(results.targets[3], results.targets[0]);
        } else {
            EXPECT_EQ(results.targets[3], sub + "a-copy.txt");
        }
        fs::remove_all(sorted());
        makeFile(sorted() + "/txt/a-copy.txt", "taken");
    }
}

// A name taken between the plan and its run: the entry's next draw, as a later plan would
// give it, not a name of chance.
TEST_F(RulesPlanTest, NameTakenAfterPlanningGetsTheEntrysNextDraw) {
    makeFile(inbox() + "/a.txt", "a");
    makeFile(inbox() + "/b.txt", "b");
    makeFile(sorted() + "/b.txt", "taken at planning");
    const RunPlan plan = planRecord(record(1, "*.txt"), "Move");
    ASSERT_EQ(plan.steps.size(), 2u);
    const PlanStep& free = plan.steps[0];
    const PlanStep& drawn = plan.steps[1];
    EXPECT_EQ(free.nameDraws, 0u);
    ASSERT_EQ(drawn.nameDraws, 1u);
    makeFile(free.target, "taken since");
    makeFile(drawn.target, "taken since");
    struct Results : ExecutionObserver {
        bool stepDone(std::size_t, const StepResult& result) override {
            targets.push_back(result.target);
            return true;
        }
        std::vector<std::string> targets;
    } results;
    ASSERT_EQ(executePlan(plan, {.observer = &results}).failed, 0u);
    const std::uint64_t seed =
        nameSeed(free.identity.device, free.identity.inode, sorted() + "/", "a.txt");
    EXPECT_EQ(results.targets[0], sorted() + "/" + withRandomPart(drawnPart(seed, 0), "a.txt"));
    EXPECT_EQ(results.targets[1],
              sorted() + "/" + withRandomPart(drawnPart(drawn.nameSeed, 1), "b.txt"));
    EXPECT_EQ(readFile(results.targets[1]), "b");
}

}  // namespace
}  // namespace kestrune
