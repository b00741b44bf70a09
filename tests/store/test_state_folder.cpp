#include <gtest/gtest.h>

#include <string>

#include "platform/path_text.h"
#include "platform/user_folders.h"
#include "store/errors.h"
#include "store/state_folder.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

TEST(StateFolder, OnlyAWritableCopyOutsideTheSystemFoldersKeepsItsFilesBesideIt) {
    struct Case {
        const char* programFolder;
        bool writable;
        const char* expected;
    };
    const Case cases[] = {
        {"/home/ann/kestrune/", true, "/home/ann/kestrune/"},    // portable copy
        {"/work/build/dev/bin/", true, "/work/build/dev/bin/"},  // build folder
        {"/srv/tools/", false, "/home/ann/.config/kestrune/"},   // a folder she cannot write
        {"/home/ann/.local/bin/", true, "/home/ann/.config/kestrune/"},  // the install folder
        {"/usr/bin/", true, "/home/ann/.config/kestrune/"},              // root may write it
        {"/opt/kestrune/bin/", true, "/home/ann/.config/kestrune/"},
    };
    for (const Case& c : cases) {
        StateFolderFacts facts;
        facts.programFolder = c.programFolder;
        facts.installFolder = "/home/ann/.local/bin/";
        facts.systemFolders = {"/usr/", "/opt/"};
        facts.programFolderWritable = c.writable;
        facts.configHome = "/home/ann/.config/";
        facts.configSource = "$HOME/.config";
        facts.ownFolder = "kestrune/";
        const StateFolder chosen = chooseStateFolder(facts);
        EXPECT_EQ(chosen.path, c.expected) << c.programFolder;
        EXPECT_NE(chosen.reason.find(chosen.path == c.programFolder ? "portable" : "$HOME/.config"),
                  std::string::npos)
            << chosen.reason;
    }
    EXPECT_EQ(namedStateFolder("/data/tasks").path, std::string("/data/tasks") + kPathSeparator);
}

// Both files in one message, each with the system's reason; missing files are no problem.
TEST(StateFolder, StateFilesThatCannotBeReadAreNamedTogether) {
    const test::ScratchDir scratch;
    EXPECT_NO_THROW(requireReadableStateFiles(scratch.folder()));
    test::writeFile(scratch.file("kestrune.dll"), "All Tasks\r\n");
    EXPECT_NO_THROW(requireReadableStateFiles(scratch.folder()));
    std::filesystem::remove(scratch.file("kestrune.dll"));
    std::filesystem::create_directory(scratch.file("kestrune.dll"));
    std::filesystem::create_directory(scratch.file("Setting.cfg"));
    try {
        requireReadableStateFiles(scratch.folder());
        FAIL() << "folders in the files' places should be refused";
    } catch (const Error& error) {
        const std::string message = error.what();
        for (const char* name : {"Setting.cfg", "kestrune.dll"}) {
            EXPECT_NE(message.find(scratch.file(name) + ": Is a directory"), std::string::npos)
                << message;
        }
    }
}

}  // namespace
}  // namespace kestrune
