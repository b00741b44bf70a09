// glibc's allocator statistics (mallinfo2), which other C libraries do not keep.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <string>

#include "run/editor/selection_preview.h"
#include "run/plan/run_planner.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

std::size_t heapInUse() {
    return mallinfo2().uordblks;
}

// Empty files, made by the system alone so that the test's own memory stays as it is.
void makeTree(const std::string& root, int folders, int files) {
    for (int f = 0; f < folders; ++f) {
        const std::string folder = root + "/d" + std::to_string(f);
        std::filesystem::create_directories(folder);
        for (int i = 0; i < files; ++i) {
            const std::string path = folder + "/file" + std::to_string(i) + ".txt";
            close(open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
        }
    }
}

// Notes the most memory in use while the steps come.
class Peak final : public PlanSink {
  public:
    void planned(const PlanStep& /*step*/) override {
        ++steps;
        peak = std::max(peak, heapInUse());
    }
    std::size_t steps = 0;
    std::size_t peak = 0;
};

// The most memory a preview and the editor's live list hold beyond what was in use before.
struct Held {
    std::size_t preview = 0;
    std::size_t list = 0;
};

Held heldFor(const TaskRecord& record, std::size_t entries) {
    Held held;
    Peak peak;
    PlanOptions options;
    options.sink = &peak;
    options.identities = false;
    const std::size_t before = heapInUse();
    const RunPlan plan = planRecord(record, "Preview", options);
    EXPECT_TRUE(plan.error.empty()) << plan.error;
    EXPECT_EQ(peak.steps, entries);
    held.preview = peak.peak - before;
    const std::size_t listBefore = heapInUse();
    const SelectionPreview list = previewSelection(record, 100);
    EXPECT_EQ(list.total, entries);
    EXPECT_EQ(list.shown.size(), 100u);
    held.list = heapInUse() - listBefore;
    return held;
}

// A preview keeps nothing of an entry once its step is handed on, and the editor's live list
// nothing beyond what it shows: four times the entries in the same folders cost next to
// nothing more, where a kept selection costs about a hundred bytes an entry.
TEST(PlanMemory, APreviewAndTheLiveListHoldNoEntryTheyHandedOn) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizer's allocator keeps no such statistics";
#endif
    test::ScratchDir scratch;
    constexpr int kFolders = 40;
    constexpr int kFew = 20;
    constexpr int kMany = 80;
    makeTree(scratch.file("few"), kFolders, kFew);
    makeTree(scratch.file("many"), kFolders, kMany);
    const std::size_t few = kFolders * (kFew + 1);
    const std::size_t many = kFolders * (kMany + 1);
    const Held small = heldFor({scratch.file("few"), scratch.file("out"), 2, 0, "*.*", false}, few);
    const Held large =
        heldFor({scratch.file("many"), scratch.file("out"), 2, 0, "*.*", false}, many);
    // Ten bytes an entry leaves room for one folder's listing, which grows with the folder.
    const std::size_t bound = 10 * (many - few);
    EXPECT_LT(large.preview, small.preview + bound);
    EXPECT_LT(large.list, small.list + bound);
}

}  // namespace
}  // namespace kestrune
