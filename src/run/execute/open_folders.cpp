#include "run/execute/open_folders.h"

#include <cerrno>

#include "run/plan/path_rules.h"
#include "run/plan/plan_roots.h"

namespace kestrune {

namespace {

// Enough for the folders of a deep tree's branch and their neighbours; well below the limit
// of open files, beside the folders that waiting copies hold.
constexpr std::size_t kHeld = 64;

}  // namespace

OpenFolders::OpenFolders(FileActions& files, const std::vector<PlanRoot>& roots)
    : files_(files), roots_(roots) {}

// Roots stay open for the whole run: every folder is reached from one, and a root opened
// again would have to be checked again against the folder found when the plan was made.

const OpenFolder* OpenFolders::find(const std::string& key) {
    const auto found = held_.find(key);
    if (found == held_.end()) return nullptr;
    ages_.splice(ages_.begin(), ages_, found->second.age);
    return &found->second.folder;
}

void OpenFolders::keep(const std::string& key, const OpenFolder& folder) {
    if (const auto found = held_.find(key); found != held_.end()) {
        found->second.folder = folder;
        return;
    }
    ages_.push_front(key);
    held_[key] = {folder, ages_.begin()};
    if (held_.size() > kHeld) {
        held_.erase(ages_.back());
        ages_.pop_back();
    }
}

ActionResult OpenFolders::openRootAt(std::size_t index, OpenFolder& out) {
    const PlanRoot& root = roots_[index];
    rootsOpen_.resize(roots_.size());
    if (rootsOpen_[index]) {
        out = rootsOpen_[index];
        return ActionResult::success();
    }
    const ActionResult opened = files_.openRoot(root.real, out);
    if (!opened.ok()) return opened;
    const FolderId none;
    if (!(root.id == none) && !(out->id() == root.id)) {
        out.reset();
        return ActionResult::failure(
            ESTALE, "the folder " + root.path + "/ is not the one the run was planned for");
    }
    rootsOpen_[index] = out;
    return ActionResult::success();
}

ActionResult OpenFolders::open(std::string_view folder, OpenFolder& out) {
    const std::string_view asked = withoutTrailingSlashesOf(folder);
    for (const Recent& recent : recent_) {
        if (recent.folder && recent.key == asked) {
            out = recent.folder;
            return ActionResult::success();
        }
    }
    const std::string key(asked);
    const std::optional<std::size_t> root = rootIndexOf(roots_, key);
    if (!root) return ActionResult::failure(EPERM, outsideMessage(key + "/"));
    const std::string& rootPath = roots_[*root].path;
    // The nearest folder already open, then one name at a time below it.
    std::string at = key;
    OpenFolder from;
    while (at.size() > rootPath.size()) {
        if (const OpenFolder* held = find(at)) {
            from = *held;
            break;
        }
        at = rootKey(folderPart(at));
    }
    if (!from) {
        at = rootPath;
        const ActionResult opened = openRootAt(*root, from);
        if (!opened.ok()) return opened;
    }
    while (at.size() < key.size()) {
        const std::size_t end = separatorFrom(key, at.size() + 1);
        const std::string next = key.substr(0, end);
        OpenFolder below;
        const ActionResult opened = files_.openBelow(from, next.substr(at.size() + 1), below);
        if (!opened.ok()) return opened;
        keep(next, below);
        from = std::move(below);
        at = next;
    }
    Recent& replaced = recent_[older_];
    replaced.key = key;
    replaced.folder = from;
    older_ = 1 - older_;
    out = std::move(from);
    return ActionResult::success();
}

void OpenFolders::forget(std::string_view folder) {
    const std::string key = rootKey(folder);
    for (std::size_t i = 0; i < rootsOpen_.size(); ++i) {
        if (isAtOrBelow(roots_[i].path, key)) rootsOpen_[i].reset();
    }
    for (auto it = held_.begin(); it != held_.end();) {
        if (isAtOrBelow(it->first, key)) {
            ages_.erase(it->second.age);
            it = held_.erase(it);
        } else {
            ++it;
        }
    }
    recent_ = {};
}

}  // namespace kestrune
