#include "run/auto/watch_set.h"

#include <algorithm>

namespace kestrune {

namespace {

// The walk's own rule for the folder a new subfolder's listing entry describes.
bool walkEnters(const FolderEntry& entry, const WalkRequest& request) {
    return entry.type == EntryType::Folder && entry.sameFileSystem && entry.name[0] != '.' &&
           entry.id != request.skip;
}

bool withinDepth(std::int32_t depth, std::int32_t depthCode) {
    return depthCode == 0 || depth <= depthCode - 1;
}

// The folders of a map keyed by path that lie at or below the folder.
template <class Map>
std::vector<std::string> atOrBelow(const Map& map, const std::string& folder) {
    std::vector<std::string> found;
    for (auto it = map.lower_bound(folder); it != map.end(); ++it) {
        if (it->first.compare(0, folder.size(), folder) != 0) break;
        found.push_back(it->first);
    }
    return found;
}

}  // namespace

WatchChanges WatchSet::setTask(const std::string& task, const WalkRequest& request) {
    WatchChanges changes = removeTask(task);
    TaskFolders& folders = tasks_[task];
    folders.request = request;
    addWalk(task, folders, request.sourceRoot, 0, changes);
    // A folder that was left and joined again needs neither step.
    std::vector<std::string> both;
    std::sort(changes.watch.begin(), changes.watch.end());
    std::sort(changes.unwatch.begin(), changes.unwatch.end());
    std::set_intersection(changes.watch.begin(), changes.watch.end(), changes.unwatch.begin(),
                          changes.unwatch.end(), std::back_inserter(both));
    for (auto* list : {&changes.watch, &changes.unwatch}) {
        std::vector<std::string> kept;
        std::set_difference(list->begin(), list->end(), both.begin(), both.end(),
                            std::back_inserter(kept));
        *list = std::move(kept);
    }
    return changes;
}

WatchChanges WatchSet::removeTask(const std::string& task) {
    WatchChanges changes;
    const auto it = tasks_.find(task);
    if (it == tasks_.end()) return changes;
    for (const auto& [folder, depth] : it->second.depths) leave(task, folder, changes);
    tasks_.erase(it);
    return changes;
}

WatchChanges WatchSet::folderAppeared(const std::string& parent, const std::string& name) {
    WatchChanges changes;
    const std::string folder = parent + name + "/";
    FolderListing listing;  // listed once, for the first task that needs it
    for (auto& [task, folders] : tasks_) {
        const auto it = folders.depths.find(parent);
        if (it == folders.depths.end() || folders.depths.count(folder) != 0) continue;
        const std::int32_t depth = it->second + 1;
        if (!withinDepth(depth, folders.request.depthCode)) continue;
        if (!listing.listed) listing = listFolder(parent);
        const auto entry = std::find_if(listing.entries.begin(), listing.entries.end(),
                                        [&](const FolderEntry& e) { return e.name == name; });
        if (entry == listing.entries.end() || !walkEnters(*entry, folders.request)) continue;
        addWalk(task, folders, folder, depth, changes);
    }
    return changes;
}

WatchChanges WatchSet::folderGone(const std::string& folder) {
    WatchChanges changes;
    for (auto& [task, folders] : tasks_) {
        for (const auto& gone : atOrBelow(folders.depths, folder)) {
            folders.depths.erase(gone);
            leave(task, gone, changes);
        }
    }
    return changes;
}

std::vector<std::string> WatchSet::tasksWatching(const std::string& folder) const {
    const auto it = users_.find(folder);
    if (it == users_.end()) return {};
    return {it->second.begin(), it->second.end()};
}

void WatchSet::join(const std::string& task, const std::string& folder, std::int32_t depth,
                    WatchChanges& changes) {
    tasks_[task].depths[folder] = depth;
    auto& users = users_[folder];
    if (users.empty()) changes.watch.push_back(folder);
    users.insert(task);
}

void WatchSet::leave(const std::string& task, const std::string& folder, WatchChanges& changes) {
    const auto it = users_.find(folder);
    if (it == users_.end()) return;
    it->second.erase(task);
    if (!it->second.empty()) return;
    users_.erase(it);
    changes.unwatch.push_back(folder);
}

// The walk from root lists the folders to watch; root lies at the depth given.
void WatchSet::addWalk(const std::string& task, TaskFolders& folders, const std::string& root,
                       std::int32_t depth, WatchChanges& changes) {
    const std::int32_t code = folders.request.depthCode;
    WalkRequest below{root, code == 0 ? 0 : code - depth, folders.request.skip};
    const WalkResult walk = walkAndSelect(below, FilterPieces(""));
    for (const auto& folder : walk.folders) {
        const auto slashes = std::count(folder.begin() + static_cast<std::ptrdiff_t>(root.size()),
                                        folder.end(), '/');
        join(task, folder, depth + static_cast<std::int32_t>(slashes), changes);
    }
}

}  // namespace kestrune
