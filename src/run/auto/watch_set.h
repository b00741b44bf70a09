#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "run/plan/folder_walk.h"

namespace kestrune {

// The folders to start and to stop watching after a change of the watch set.
struct WatchChanges {
    std::vector<std::string> watch;
    std::vector<std::string> unwatch;
};

// Which folders the watching tasks need watched: for each task the folders its walk lists,
// within its depth, kept as folders appear and go. A folder two tasks share is watched once.
// Folder paths end with "/", as the walk gives them.
class WatchSet {
  public:
    // Walks the task's source (again) and replaces what the task had.
    WatchChanges setTask(const std::string& task, const WalkRequest& request);
    WatchChanges removeTask(const std::string& task);

    // A subfolder appeared in a watched folder: it and the folders below it join each task
    // whose walk would list them.
    WatchChanges folderAppeared(const std::string& parent, const std::string& name);
    // A folder went (or moved away): it and everything below it leave the set.
    WatchChanges folderGone(const std::string& folder);

    // The tasks that watch this folder, in name order.
    std::vector<std::string> tasksWatching(const std::string& folder) const;
    std::size_t size() const { return users_.size(); }

  private:
    struct TaskFolders {
        WalkRequest request;
        std::map<std::string, std::int32_t> depths;  // folder -> depth below the source root
    };

    void join(const std::string& task, const std::string& folder, std::int32_t depth,
              WatchChanges& changes);
    void leave(const std::string& task, const std::string& folder, WatchChanges& changes);
    void addWalk(const std::string& task, TaskFolders& folders, const std::string& root,
                 std::int32_t depth, WatchChanges& changes);

    std::map<std::string, TaskFolders> tasks_;
    std::map<std::string, std::set<std::string>> users_;  // folder -> tasks watching it
};

}  // namespace kestrune
