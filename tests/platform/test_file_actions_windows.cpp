// Junctions, and the names Windows refuses.
#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/file_actions_test.h"
#include "platform/path_text.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using test::FileActionsTest;
using test::makeFile;
using test::pathOf;
using test::readFile;

// Makes the empty folder `at` a junction to `target`; false where the system cannot (Wine).
bool makeJunction(const std::string& at, const std::string& target) {
    fs::create_directories(pathOf(at));
    const HANDLE folder =
        CreateFileW(pathOf(at).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return false;
    const std::wstring substitute = L"\\??\\" + pathOf(target).make_preferred().wstring();
    const auto bytes = static_cast<USHORT>(substitute.size() * sizeof(wchar_t));
    // The mount point layout: tag, length, reserved, four name offsets, the two names.
    std::vector<char> data(16 + bytes + 4, '\0');
    const auto put16 = [&data](std::size_t where, USHORT value) {
        std::memcpy(&data[where], &value, 2);
    };
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    std::memcpy(data.data(), &tag, 4);
    put16(4, static_cast<USHORT>(8 + bytes + 4));
    put16(10, bytes);                                  // substitute name's length
    put16(12, static_cast<USHORT>(bytes + 2));         // print name's offset (empty)
    std::memcpy(&data[16], substitute.data(), bytes);  // then two zero characters
    DWORD unused = 0;
    const bool made =
        DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, data.data(),
                        static_cast<DWORD>(data.size()), nullptr, 0, &unused, nullptr);
    CloseHandle(folder);
    return made;
}

// A folder swapped for a junction after the listing is never followed, as a link on Linux.
TEST_F(FileActionsTest, OpeningRefusesAJunctionBelowTheRoot) {
    makeFile(scratch.file("outside/secret"), "s");
    fs::create_directories(pathOf(scratch.file("root")));
    if (!makeJunction(scratch.file("root/sub"), scratch.file("outside"))) {
        GTEST_SKIP() << "this system makes no junctions (Wine has no reparse points)";
    }
    OpenFolder folder;
    const ActionResult opened = files.openBelow(open(scratch.file("root")), "sub", folder);
    EXPECT_FALSE(opened.ok());
    EXPECT_NE(opened.error.find("sub\\ was replaced since it was listed"), std::string::npos)
        << opened.error;
    EXPECT_TRUE(files.openRoot(scratch.file("root/sub"), folder).ok());
}

// A name Windows would take for a device or quietly change fails with the reason; nothing is
// renamed, nothing made.
TEST_F(FileActionsTest, ANameWindowsCannotHoldFailsWithTheReason) {
    const struct {
        const char* name;
        const char* reason;  // empty: a name Windows holds
    } names[] = {
        {"aux.txt", "aux is the name of a device"},
        {"Con", "Con is the name of a device"},
        {"lpt1.tar.gz", "lpt1 is the name of a device"},
        {"com\xc2\xb9", "is the name of a device"},
        {"notes.", "it ends with a dot"},
        {"notes ", "it ends with a blank"},
        {"a:b", "it holds ':'"},
        {"why?", "it holds '?'"},
        {"tab\there", "it holds a control character"},
        {"COM10", ""},
        {"console.txt", ""},
        {".profile", ""},
        {"caf\xc3\xa9", ""},
    };
    makeFile(scratch.file("a.txt"), "a");
    const OpenFolder here = open(scratch.folder());
    for (const auto& [name, reason] : names) {
        SCOPED_TRACE(name);
        const std::string problem = nameProblem(name);
        if (std::string(reason).empty()) {
            EXPECT_EQ(problem, "");
            continue;
        }
        EXPECT_NE(problem.find(reason), std::string::npos) << problem;
        EXPECT_EQ(problem.rfind(std::string("the name \"") + name + "\" cannot be used", 0), 0u);
        EntryIdentity made;
        const ActionResult renamed =
            files.rename(here, "a.txt", id(scratch.file("a.txt")), here, name, made);
        EXPECT_EQ(renamed.code, EINVAL);
        EXPECT_EQ(renamed.error, problem);
        EXPECT_EQ(files.makeFolder(here, name).error, problem);
    }
    EXPECT_EQ(readFile(scratch.file("a.txt")), "a");
    EXPECT_EQ(test::entriesIn(scratch.folder()), 1u);
}

}  // namespace
}  // namespace kestrune
