// The Recycle Bin of a drive, paths past 260 characters, names Windows refuses.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "platform/file_io.h"
#include "platform/folder_listing.h"
#include "platform/trash.h"
#include "run/execute/task_run.h"
#include "run/history/journaled_run.h"
#include "run/history/run_history.h"
#include "run/history/run_undo.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::literal;
using test::makeFile;
using test::pathOf;
using test::readFile;
using test::Recorder;

class WindowsRun : public test::ScratchTest {
  protected:
    std::string state() const { return scratch.file("state"); }
    std::vector<StepResult> carryOut(const RunPlan& plan) {
        Recorder heard;
        ExecuteOptions options;
        options.observer = &heard;
        runJournaled(plan, state(), options, kDefaultHistorySize);
        return heard.results;
    }
    std::vector<StepResult> undo() {
        Recorder heard;
        ExecuteOptions options;
        options.observer = &heard;
        runUndo(planUndoOf(state()), state(), options, kDefaultHistorySize);
        return heard.results;
    }
};

// What a run trashes lies in the Recycle Bin of its drive, in the user's own folder, beside
// the record Explorer reads to list it and to put it back; the undo takes both away again.
TEST_F(WindowsRun, TrashGoesToTheDrivesRecycleBinWithTheRecordsExplorerReads) {
    const std::string in = scratch.file("in");
    makeFile(in + "/a b\xc3\xa9.txt", "first");
    makeFile(in + "/folder.txt/inner", "deep");
    const RunPlan plan = planRecord({in, "", 4, 1, "*.txt", false}, "Trash");
    ASSERT_TRUE(plan.error.empty()) << plan.error;
    const std::string drive = pathOf(in).root_name().string();
    ASSERT_EQ(plan.trash.folder.rfind(drive + "\\$Recycle.Bin\\S-1-5-", 0), 0u)
        << plan.trash.folder;
    const std::vector<StepResult> put = carryOut(plan);
    ASSERT_EQ(put.size(), 2u);
    std::string real;
    FolderId id;
    ASSERT_TRUE(realFolder(in, real, id));
    const std::string names[] = {"a b\xc3\xa9.txt", "folder.txt"};
    for (std::size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(names[i]);
        ASSERT_EQ(put[i].status, StepStatus::Done) << put[i].error;
        const std::regex binned(literal(plan.trash.folder) + "/\\$R[0-9A-Z]{6}\\.txt");
        EXPECT_TRUE(std::regex_match(put[i].target, binned)) << put[i].target;
        const std::string trashed = put[i].target.substr(put[i].target.rfind('/') + 1);
        const std::string record = readFile(plan.trash.folder + "\\" + trashInfoName(trashed));
        ASSERT_GE(record.size(), 28u);
        EXPECT_EQ(record[0], 2) << "version 2";
        EXPECT_EQ(trashInfoPath(record, plan.trash.top), real + "\\" + names[i]);
        EXPECT_FALSE(fs::exists(pathOf(in + "/" + names[i])));
    }
    EXPECT_EQ(readFile(put[0].target), "first");
    EXPECT_EQ(readFile(put[1].target + "/inner"), "deep");

    const std::vector<StepResult> back = undo();
    ASSERT_EQ(back.size(), 2u);
    for (const StepResult& entry : back) EXPECT_EQ(entry.status, StepStatus::Done) << entry.error;
    EXPECT_EQ(readFile(in + "/a b\xc3\xa9.txt"), "first");
    EXPECT_EQ(readFile(in + "/folder.txt/inner"), "deep");
    for (const StepResult& entry : put) {
        const std::string trashed = entry.target.substr(entry.target.rfind('/') + 1);
        EXPECT_FALSE(fs::exists(pathOf(entry.target)));
        EXPECT_FALSE(fs::exists(pathOf(plan.trash.folder + "\\" + trashInfoName(trashed))));
    }
}

// A network share has no Recycle Bin: the run says so for each entry and trashes nothing.
TEST_F(WindowsRun, WhereTheDriveHasNoRecycleBinNothingIsTrashed) {
    EXPECT_EQ(chooseTrash("\\\\server\\share\\folder", 0, homeTrashFolder()).folder, "");
    const std::string in = scratch.file("in");
    makeFile(in + "/a.txt", "a");
    RunPlan plan = planRecord({in, "", 4, 1, "*.txt", false}, "Trash");
    plan.trash = {};
    const std::vector<StepResult> put = carryOut(plan);
    ASSERT_EQ(put.size(), 1u);
    EXPECT_EQ(put[0].status, StepStatus::Failed);
    EXPECT_EQ(put[0].error, "No trash can be used");
    EXPECT_EQ(readFile(in + "/a.txt"), "a");
}

// Past the 260 characters of the old limit, and a name that only the native API could make,
// which the move refuses to give its copy rather than change it.
TEST_F(WindowsRun, LongPathsMoveAndANameWindowsRefusesFailsItsEntry) {
    std::string in = scratch.file("in");
    while (in.size() < 280) in += "\\a-rather-long-folder-name";
    const std::string out = in + "\\out";
    // The file calls of the platform, which reach past 260 characters.
    ASSERT_EQ(systemFileIo().replace(in + "\\a.txt", "a"), "");
    const std::wstring refused = L"\\\\?\\" + pathOf(in).make_preferred().wstring() + L"\\aux.txt";
    const HANDLE file = CreateFileW(refused.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    const RunPlan plan = planRecord({in, out, 1, 1, "*.txt", false}, "Long");
    ASSERT_TRUE(plan.error.empty()) << plan.error;
    const std::vector<StepResult> moved = carryOut(plan);
    ASSERT_EQ(moved.size(), 2u);
    EXPECT_EQ(moved[0].status, StepStatus::Done) << moved[0].error;
    EXPECT_EQ(systemFileIo().read(out + "\\a.txt").bytes, "a");
    EXPECT_EQ(moved[1].status, StepStatus::Failed);
    EXPECT_EQ(moved[1].error,
              "the name \"aux.txt\" cannot be used on Windows: aux is the name of a device");
    EXPECT_NE(GetFileAttributesW(refused.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace kestrune
