// POSIX: the power cut keeps removed entries by hard links through open folders.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/power_cut_files.h"

namespace kestrune::test {

void PowerCutFiles::tick() {
    if (calls_++ != cutAt_) return;
    cut_ = true;
    for (auto change = unflushed_.rbegin(); change != unflushed_.rend(); ++change) {
        change->takeBack();
    }
    unflushed_.clear();
    throw PowerCut{};
}

void PowerCutFiles::changed(const OpenFolder& folder, std::function<void()> takeBack,
                            std::function<void()> onFlush) {
    unflushed_.push_back({folder->device(), std::move(takeBack), std::move(onFlush)});
}

// The link changes the entry's status change time, which the removal's check compares: a
// check that held before the link is given the time after it.
ActionResult PowerCutFiles::removing(const OpenFolder& folder, const std::string& name,
                                     std::int64_t expectedChange,
                                     const std::function<ActionResult(std::int64_t)>& removal) {
    const std::string kept = ".power-cut-kept-" + std::to_string(++kept_);
    EntryIdentity before, after;
    const bool seen = readIdentityIn(folder, name, before) == 0;
    const bool linked =
        seen && linkat(folder->fd(), name.c_str(), folder->fd(), kept.c_str(), 0) == 0;
    std::int64_t change = expectedChange;
    if (linked && before.changedNs == expectedChange && readIdentityIn(folder, kept, after) == 0) {
        change = after.changedNs;
    }
    const ActionResult result = removal(change);
    if (!linked) return result;
    if (!result.ok()) {
        unlinkat(folder->fd(), kept.c_str(), 0);
        return result;
    }
    changed(
        folder,
        [folder, kept, name] { renameat(folder->fd(), kept.c_str(), folder->fd(), name.c_str()); },
        [folder, kept] { unlinkat(folder->fd(), kept.c_str(), 0); });
    return result;
}

ActionResult PowerCutFiles::makeFolder(const OpenFolder& parent, const std::string& name,
                                       bool private_) {
    tick();
    const ActionResult result = system.makeFolder(parent, name, private_);
    if (result.ok()) {
        changed(parent, [parent, name] { unlinkat(parent->fd(), name.c_str(), AT_REMOVEDIR); });
    }
    return result;
}

ActionResult PowerCutFiles::removeFolder(const OpenFolder& folder, const std::string& name,
                                         const EntryIdentity& expected) {
    tick();
    const ActionResult result = system.removeFolder(folder, name, expected);
    if (result.ok()) {
        changed(folder, [folder, name] { mkdirat(folder->fd(), name.c_str(), 0777); });
    }
    return result;
}

ActionResult PowerCutFiles::rename(const OpenFolder& from, const std::string& name,
                                   const EntryIdentity& expected, const OpenFolder& to,
                                   const std::string& newName, EntryIdentity& made) {
    tick();
    const ActionResult result = system.rename(from, name, expected, to, newName, made);
    if (result.ok()) {
        changed(to, [from, name, to, newName] {
            renameat(to->fd(), newName.c_str(), from->fd(), name.c_str());
        });
    }
    return result;
}

ActionResult PowerCutFiles::remove(const OpenFolder& folder, const std::string& name,
                                   const EntryIdentity& expected) {
    tick();
    return removing(folder, name, expected.changedNs, [&](std::int64_t change) {
        EntryIdentity now = expected;
        now.changedNs = change;
        return system.remove(folder, name, now);
    });
}

ActionResult PowerCutFiles::removeMade(const OpenFolder& folder, const std::string& name,
                                       const EntryIdentity& expected) {
    tick();
    return removing(folder, name, expected.changedNs,
                    [&](std::int64_t) { return system.removeMade(folder, name, expected); });
}

ActionResult PowerCutFiles::copyToTemporary(const OpenFolder& from, const std::string& name,
                                            const EntryIdentity& expected, const OpenFolder& to,
                                            const std::string& temporaryName,
                                            const std::atomic<bool>* stop, TemporaryCopy& out) {
    tick();
    const ActionResult result =
        system.copyToTemporary(from, name, expected, to, temporaryName, stop, out);
    if (result.ok()) {
        changed(to, [to, temporaryName] { unlinkat(to->fd(), temporaryName.c_str(), 0); });
    }
    return result;
}

ActionResult PowerCutFiles::flush(const OpenFolder& folder) {
    tick();
    const ActionResult result = system.flush(folder);
    if (!result.ok()) return result;
    std::vector<Change> still;
    for (Change& change : unflushed_) {
        if (change.device != folder->device()) {
            still.push_back(std::move(change));
        } else if (change.onFlush) {
            change.onFlush();
        }
    }
    unflushed_ = std::move(still);
    return result;
}

ActionResult PowerCutFiles::placeTemporary(const OpenFolder& folder, const TemporaryCopy& copy,
                                           const std::string& name, EntryIdentity& made) {
    tick();
    const ActionResult result = system.placeTemporary(folder, copy, name, made);
    if (result.ok()) {
        const std::string temporary = copy.name;
        changed(folder, [folder, name, temporary] {
            renameat(folder->fd(), name.c_str(), folder->fd(), temporary.c_str());
        });
    }
    return result;
}

void PowerCutFiles::discardTemporary(const OpenFolder& folder, const TemporaryCopy& copy) {
    tick();
    removing(folder, copy.name, 0, [&](std::int64_t) {
        system.discardTemporary(folder, copy);
        return ActionResult::success();
    });
}

ActionResult PowerCutFiles::removeCopiedSource(const OpenFolder& from, const std::string& name,
                                               const TemporaryCopy& copy) {
    tick();
    return removing(from, name, copy.source.changedNs, [&](std::int64_t change) {
        TemporaryCopy now = copy;
        now.source.changedNs = change;
        return system.removeCopiedSource(from, name, now);
    });
}

ActionResult PowerCutFiles::writeNewFile(const OpenFolder& folder, const std::string& name,
                                         const std::string& content) {
    tick();
    const ActionResult result = system.writeNewFile(folder, name, content);
    if (result.ok()) changed(folder, [folder, name] { unlinkat(folder->fd(), name.c_str(), 0); });
    return result;
}

}  // namespace kestrune::test
