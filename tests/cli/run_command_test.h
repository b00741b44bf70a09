#pragma once

// A task over a scratch Inbox, run through kestrune-cli.

#include <string>

#include "cli/cli_runner.h"
#include "cli/field_escape.h"
#include "support/scratch_dir.h"

namespace kestrune::test {

class RunCommandTest : public ScratchTest {
  protected:
    std::string inbox() const { return scratch.file("Inbox"); }
    std::string sorted() const { return scratch.file("Sorted"); }

    void makeInbox() const {
        makeFile(inbox() + "/a.txt", "a");
        makeFile(inbox() + "/b.jpg", "b");
        makeFile(inbox() + "/Notes/c.txt", "c");
    }
    // One section of Setting.cfg for a task over Inbox.
    std::string record(const std::string& name, int action, const std::string& target) const {
        return "[" + name + "]\ns_folder=" + inbox() + "\nt_folder=" + target +
               "\nsublevel=0\nactions=" + std::to_string(action) + "\nfilters=*.txt\n";
    }
    // One output line of an entry below Inbox going to the same place below Sorted, its paths
    // escaped as every field is (a Windows path's "\" doubled).
    std::string entryLine(const std::string& action, const std::string& below,
                          const std::string& state) const {
        return action + "\t" + cli::field(inbox() + below) + "\t" + cli::field(sorted() + below) +
               "\t" + state + "\n";
    }
    void writeSettings(const std::string& content) const {
        writeFile(scratch.file("Setting.cfg"), content);
    }
    void writeTree(const std::string& content) const {
        writeFile(scratch.file("kestrune.dll"), content);
    }
};

}  // namespace kestrune::test
