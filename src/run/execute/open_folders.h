#pragma once

#include <array>
#include <cstddef>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/file_actions.h"
#include "run/plan/run_plan.h"

namespace kestrune {

// The folders a plan's steps act in, opened once each from the nearest folder already open,
// and kept open while steps go on in them: a step then costs its own action, not a walk from
// its root. A root is opened by its real path (the links at and above it were followed when
// the plan was made) and must still be the folder found then; below a root no link is ever
// followed. A path outside every root is refused.
class OpenFolders {
  public:
    OpenFolders(FileActions& files, const std::vector<PlanRoot>& roots);

    // The open folder at that path ("/a/b" or "/a/b/").
    ActionResult open(std::string_view folder, OpenFolder& out);
    // Drops a folder that was removed or replaced, and everything below it.
    void forget(std::string_view folder);

  private:
    struct Held {
        OpenFolder folder;
        std::list<std::string>::iterator age;
    };
    ActionResult openRootAt(std::size_t index, OpenFolder& out);
    void keep(const std::string& key, const OpenFolder& folder);
    const OpenFolder* find(const std::string& key);

    FileActions& files_;
    const std::vector<PlanRoot>& roots_;
    std::unordered_map<std::string, Held> held_;
    std::list<std::string> ages_;        // most recently used first
    std::vector<OpenFolder> rootsOpen_;  // by the roots' order, open once each
    // The two folders asked for last, the usual next ones: a move's steps ask for their
    // source's folder and their target's in turn.
    struct Recent {
        std::string key;
        OpenFolder folder;
    };
    std::array<Recent, 2> recent_;
    std::size_t older_ = 0;  // the one of them the next new folder replaces
};

}  // namespace kestrune
