// Copies, and entries bound for the trash, wait in batches for one flush of their file
// systems before they take their names: a flush waits for the disk, so batches are large.
// The order that keeps every file whole at a power cut, whatever the cut point:
//   1. the copy is written under a temporary name of the run (the trash's record, for an
//      entry bound for the trash), and reported (copied);
//   2. one flush puts the batch's data on disk; the journal then puts the copies' names on
//      disk with it (durable);
//   3. each copy takes its name (each entry moves into the trash);
//   4. for a move to another file system: the names are flushed, reported (placed) and put
//      on disk in the journal; only then does each source go;
//   5. the outcomes are reported in the plan's order.
// Recovery reads the copied and placed records to finish or take back what a cut left.

#include <cerrno>

#include "platform/temporary_name.h"
#include "platform/trash.h"
#include "run/execute/executor.h"
#include "run/plan/path_rules.h"

namespace kestrune::execute {

namespace {

constexpr int kAttempts = 3;
// Bounded so that a kill loses little work and the folders held open stay well below the
// limit of open files.
constexpr std::size_t kBatchFiles = 4096;
constexpr std::uint64_t kBatchBytes = 256ULL << 20;
constexpr std::size_t kBatchFolders = 256;

StepResult failure(std::string error, std::string target = {}) {
    StepResult result;
    result.error = std::move(error);
    result.target = std::move(target);
    return result;
}

StepResult done(std::string target, const EntryIdentity& made) {
    StepResult result;
    result.status = StepStatus::Done;
    result.target = std::move(target);
    result.made = made;
    return result;
}

}  // namespace

std::string Executor::takenReason(const ActionResult& outcome) const {
    if (outcome.code == EEXIST && plan_.exactTargets) return "the path is taken since the run";
    return outcome.error;
}

void Executor::queueCopy(Pending pending, const OpenFolder& from, const std::string& name,
                         const EntryIdentity& identity) {
    pending.kind = Pending::Kind::Copy;
    pending.from = from;
    pending.name = name;
    pending.identity = identity;
    const ActionResult copied =
        files_.copyToTemporary(from, name, identity, pending.to,
                               temporaryNameFor(runId_, pending.index), stop_, pending.copy);
    if (!copied.ok()) {
        abandon(pending);
        // A copy cut short by a stop request is no outcome: the entry stays as planned.
        if (copied.code == ECANCELED) {
            totals_.stopped = true;
            return;
        }
        const PlanStep& step = plan_.steps[pending.index];
        return report(pending.index, failure(copied.error, step.target));
    }
    touch(pending.to);
    if (observer_ != nullptr) {
        observer_->copied(pending.index, pending.copy.name, pending.copy.made);
    }
    waitingBytes_ += pending.copy.size;
    queueWaiting(std::move(pending));
}

void Executor::queueWaiting(Pending pending) {
    ++waiting_;
    if (pending.to.get() != lastHeld_) {
        lastHeld_ = pending.to.get();
        ++waitingFolders_;
    }
    queue_.push_back(std::move(pending));
}

// Results wait behind the entries before them, so the observer hears of every step in the
// plan's order.
void Executor::report(std::size_t index, StepResult result) {
    if (queue_.empty()) return deliver(index, result);
    Pending pending;
    pending.index = index;
    pending.result = std::move(result);
    queue_.push_back(std::move(pending));
}

void Executor::deliver(std::size_t index, const StepResult& result) {
    ++(result.status == StepStatus::Failed ? totals_.failed : totals_.succeeded);
    if (observer_ != nullptr && !observer_->stepDone(index, result)) {
        totals_.stopped = true;
        abandoned_ = true;
    }
}

void Executor::settleIfFull() {
    if (waiting_ >= kBatchFiles || waitingBytes_ >= kBatchBytes ||
        waitingFolders_ >= kBatchFolders) {
        settle();
    }
}

void Executor::settle() {
    if (waiting_ > 0 && !abandoned_) {
        const ActionResult flushed = flushTouched();
        if (flushed.ok()) durable();
        std::vector<Pending*> moves;
        for (Pending& pending : queue_) {
            if (pending.kind == Pending::Kind::Outcome || abandoned_) continue;
            if (!flushed.ok()) {
                abandon(pending);
                pending.result = failure(flushed.error, pending.targetFolder + pending.finalName);
                continue;
            }
            if (pending.kind == Pending::Kind::Copy) {
                putInPlace(pending);
            } else {
                moveIntoTrash(pending);
            }
            if (pending.placed && pending.removeSource) moves.push_back(&pending);
        }
        finishMoves(moves);
    }
    while (!queue_.empty()) {
        Pending pending = std::move(queue_.front());
        queue_.pop_front();
        // The journal can no longer follow: what waits is taken back, unreported.
        if (abandoned_ && pending.kind != Pending::Kind::Outcome && !pending.placed) {
            abandon(pending);
            continue;
        }
        deliver(pending.index, pending.result);
    }
    waiting_ = 0;
    waitingBytes_ = 0;
    waitingFolders_ = 0;
    lastHeld_ = nullptr;
}

void Executor::putInPlace(Pending& pending) {
    const PlanStep& step = plan_.steps[pending.index];
    std::string name = pending.finalName;
    ActionResult outcome;
    EntryIdentity made;
    const int attempts = pending.freshNames ? kAttempts : 1;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0) name = freshName(step, attempt);
        outcome = files_.placeTemporary(pending.to, pending.copy, name, made);
        if (outcome.code != EEXIST) break;
    }
    const std::string target = pending.targetFolder + name;
    if (!outcome.ok()) {
        abandon(pending);
        pending.result = failure(takenReason(outcome), target);
        return;
    }
    touch(pending.to);
    pending.placed = true;
    pending.result = done(target, made);
}

// An entry bound for the trash of its own file system moves in by a rename; a rename that
// meets another file system after all (a bind mount) is a copy, finished at once.
void Executor::moveIntoTrash(Pending& pending) {
    EntryIdentity made;
    const ActionResult moved = files_.rename(pending.from, pending.name, pending.identity,
                                             pending.to, pending.finalName, made);
    const std::string target = pending.targetFolder + pending.finalName;
    if (moved.code == EXDEV) {
        pending.kind = Pending::Kind::Copy;
        pending.removeSource = true;
        ActionResult copied =
            files_.copyToTemporary(pending.from, pending.name, pending.identity, pending.to,
                                   temporaryNameFor(runId_, pending.index), stop_, pending.copy);
        if (copied.ok()) {
            if (observer_ != nullptr) {
                observer_->copied(pending.index, pending.copy.name, pending.copy.made);
            }
            copied = files_.flush(pending.to);
        }
        if (!copied.ok()) {
            abandon(pending);
            pending.result = failure(copied.error, target);
            return;
        }
        durable();
        return putInPlace(pending);
    }
    if (!moved.ok()) {
        abandon(pending);
        pending.result = failure(moved.error, target);
        return;
    }
    touch(pending.from);
    touch(pending.to);
    pending.placed = true;
    pending.result = done(target, made);
}

// The copies that replace their sources are on disk under their names, and the journal
// says so, before a single source goes. Copies whose names cannot be put on disk are taken
// back: the move did not happen.
void Executor::finishMoves(std::vector<Pending*>& moves) {
    if (moves.empty()) return;
    const ActionResult flushed = flushTouched();
    if (!flushed.ok()) {
        for (Pending* pending : moves) takeBack(*pending, flushed.error);
        return;
    }
    if (observer_ != nullptr) {
        for (Pending* pending : moves) observer_->placed(pending->index, pending->result);
    }
    durable();
    if (abandoned_) return;
    for (Pending* pending : moves) {
        const ActionResult removed =
            files_.removeCopiedSource(pending->from, pending->name, pending->copy);
        touch(pending->from);
        if (!removed.ok()) {
            pending->result.status = StepStatus::Failed;
            pending->result.error = removed.error;
        } else if (pending->putsBack) {
            removeTrashRecord(pending->name);
        }
    }
}

void Executor::takeBack(Pending& pending, const std::string& reason) {
    const std::string& target = pending.result.target;
    const std::string name = target.substr(pending.targetFolder.size());
    pending.result.status = StepStatus::Failed;
    if (files_.removeMade(pending.to, name, pending.result.made).ok()) {
        pending.result.error = reason;
        pending.result.target.clear();
        pending.result.made = {};
    } else {
        pending.result.error = reason + ": the source is kept beside its copy";
    }
}

// Takes back what waits: the temporary copy, and the trash's record written for the entry.
void Executor::abandon(Pending& pending) {
    if (pending.kind == Pending::Kind::Copy && !pending.placed && !pending.copy.name.empty()) {
        files_.discardTemporary(pending.to, pending.copy);
    }
    if (!pending.record.empty() && !pending.placed && trashInfo_) {
        EntryIdentity record;
        if (readIdentityIn(trashInfo_, pending.record, record) == 0) {
            files_.removeMade(trashInfo_, pending.record, record);
        }
    }
    pending.kind = Pending::Kind::Outcome;
}

void Executor::touch(const OpenFolder& folder) {
    for (const OpenFolder& known : touched_) {
        if (known->device() == folder->device()) return;
    }
    touched_.push_back(folder);
}

// Returns the first failure; every file system touched is flushed all the same.
ActionResult Executor::flushTouched() {
    ActionResult first;
    for (const OpenFolder& folder : touched_) {
        const ActionResult flushed = files_.flush(folder);
        if (first.ok() && !flushed.ok()) first = flushed;
    }
    touched_.clear();
    return first;
}

void Executor::durable() {
    if (observer_ != nullptr && !observer_->durable()) {
        totals_.stopped = true;
        abandoned_ = true;
    }
}

}  // namespace kestrune::execute
