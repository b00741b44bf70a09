#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/file_actions.h"
#include "platform/temporary_name.h"
#include "support/scratch_dir.h"

namespace kestrune::test {

// The system's file actions on a scratch folder.
class FileActionsTest : public ScratchTest {
  protected:
    OpenFolder open(const std::string& path) {
        OpenFolder folder;
        const ActionResult opened = files.openRoot(path, folder);
        EXPECT_TRUE(opened.ok()) << opened.error;
        return folder;
    }
    EntryIdentity id(const std::string& path) {
        EntryIdentity identity;
        EXPECT_EQ(readIdentity(path, identity), 0) << path;
        return identity;
    }
    // Copies to a temporary name in `to`, flushes and places it as `name`.
    ActionResult copy(const std::string& from, const std::string& name, const std::string& to,
                      const std::string& target) {
        const OpenFolder source = open(from);
        const OpenFolder folder = open(to);
        TemporaryCopy copy;
        ActionResult result = files.copyToTemporary(source, name, id(from + "/" + name), folder,
                                                    temporaryNameFor("run", 1), nullptr, copy);
        if (result.ok()) result = files.flush(folder);
        if (!result.ok()) return result;
        EntryIdentity made;
        result = files.placeTemporary(folder, copy, target, made);
        if (!result.ok()) files.discardTemporary(folder, copy);
        return result;
    }
    FileActions& files = systemFileActions();
};

inline std::size_t entriesIn(const std::string& folder) {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(pathOf(folder)),
                      std::filesystem::directory_iterator()));
}

// Takes away the right to write the file: its mode here, its read-only flag on Windows.
inline void makeReadOnly(const std::string& path) {
    using std::filesystem::perms;
    std::filesystem::permissions(pathOf(path),
                                 perms::owner_write | perms::group_write | perms::others_write,
                                 std::filesystem::perm_options::remove);
}

}  // namespace kestrune::test
