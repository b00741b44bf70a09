#include "run/history/journal.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/append_file.h"
#include "platform/file_actions.h"
#include "platform/file_io.h"
#include "run/history/journal_format.h"
#include "run/history/journal_reader.h"

namespace kestrune {

namespace {

namespace tag = journal::tag;
using journal::addField;
using journal::addIdentity;
using journal::addNumber;
using journal::addShape;
using journal::beginRecord;
using journal::sealRecord;

// Records gathered beyond this are written (not flushed) so memory stays small.
constexpr std::size_t kWriteAt = 1 << 20;
constexpr int kIdAttempts = 1000;

void addIndex(std::string& text, std::size_t index) {
    addNumber(text, static_cast<std::uint64_t>(index));
}

void addHeader(std::string& text, const std::string& id, const RunPlan& plan,
               std::chrono::system_clock::time_point started, const std::string& undoes) {
    const TaskRecord& record = plan.record;
    text.append(journal::versionLine(journal::kVersion)).append("\n");
    const std::size_t line = beginRecord(text, tag::run);
    for (const std::string& field :
         {id, journal::isoTime(started), plan.task, record.sourceFolder, record.targetFolder,
          std::to_string(record.action), std::to_string(record.depthCode), record.filters,
          std::string(record.flat ? "1" : "0"), undoes}) {
        addField(text, field);
    }
    sealRecord(text, line, journal::kVersion);
}

void addStep(std::string& text, const PlanStep& step) {
    const std::size_t line = beginRecord(text, tag::step);
    addNumber(text, static_cast<std::int64_t>(step.action));
    addField(text, statusWord(step.status));
    addField(text, step.source);
    addField(text, step.target);
    addIdentity(text, step.identity);
    addField(text, step.error);
    if (step.origin == kNoOrigin) {
        addField(text, "");
    } else {
        addIndex(text, step.origin);
    }
    sealRecord(text, line, journal::kVersion);
}

// The records of the plan after its steps.
void addPlanEnd(std::string& text, const RunPlan& plan) {
    for (const FolderProblem& problem : plan.unreadable) {
        const std::size_t line = beginRecord(text, tag::unreadable);
        addField(text, problem.folder);
        addField(text, problem.reason);
        sealRecord(text, line, journal::kVersion);
    }
    for (const std::string& folder : plan.foldersToRemove) {
        const std::size_t line = beginRecord(text, tag::empty);
        addField(text, folder);
        sealRecord(text, line, journal::kVersion);
    }
    for (const auto& [folder, shape] : plan.shapes) {
        const std::size_t line = beginRecord(text, tag::shape);
        addField(text, folder);
        addShape(text, shape);
        sealRecord(text, line, journal::kVersion);
    }
    sealRecord(text, beginRecord(text, tag::acting), journal::kVersion);
}

void addPath(std::string& text, int version, std::string_view tagName, const std::string& path) {
    const std::size_t line = beginRecord(text, tagName);
    addField(text, path);
    sealRecord(text, line, version);
}

void addRemoved(std::string& text, int version, const std::string& path, const FolderShape& shape) {
    const std::size_t line = beginRecord(text, tag::removed);
    addField(text, path);
    if (version >= 2) addShape(text, shape);
    sealRecord(text, line, version);
}

void addDone(std::string& text, int version, std::size_t index, const StepResult& result) {
    const std::size_t line = beginRecord(text, tag::done);
    addIndex(text, index);
    addField(text, statusWord(result.status));
    addField(text, result.target);
    addIdentity(text, result.made);
    addField(text, result.error);
    sealRecord(text, line, version);
}

// The end repeats the figures, so that a history need not read the outcomes. Version 1
// counted only the failed outcomes, without the plan's unreadable folders.
void addEnd(std::string& text, int version, RunState end, const RunFigures& figures,
            std::size_t unreadableFolders) {
    const std::size_t line = beginRecord(text, tag::end);
    addField(text, runStateWord(end));
    addField(text, journal::isoTime(std::chrono::system_clock::now()));
    addIndex(text, figures.done);
    if (version >= 2) {
        addIndex(text, figures.failed);
        addIndex(text, figures.leftAlone);
        addIndex(text, figures.merged);
    } else {
        addIndex(text, figures.failed - std::min(figures.failed, unreadableFolders));
    }
    sealRecord(text, line, version);
}

// The state folder too may be new: it is made on its first write.
void makeFolders(const std::string& folder) {
    const std::string error = makeStateFolders(folder);
    if (!error.empty()) throw JournalError("Cannot create folder " + folder + ": " + error);
}

}  // namespace

const char* runStateWord(RunState state) {
    switch (state) {
        case RunState::Done:
            return "done";
        case RunState::Interrupted:
            return "interrupted";
        case RunState::Undone:
            return "undone";
        case RunState::PartlyUndone:
            return "partly undone";
        case RunState::Running:
            return "running";
        case RunState::Unreadable:
            return "unreadable";
    }
    return "interrupted";
}

std::string historyFolderOf(const std::string& stateFolder) {
    std::string folder = stateFolder;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder + "/history";
}

JournalWriter::JournalWriter(const std::string& stateFolder, const RunPlan& plan,
                             std::chrono::system_clock::time_point started,
                             const std::string& undoes) {
    const std::string folder = historyFolderOf(stateFolder);
    makeFolders(folder);
    create(folder, started);
    figures_.failed = plan.unreadable.size();
    addHeader(pending_, id_, plan, started, undoes);
    writePlan(plan);
    writePending(true);
    if (!error_.empty()) {
        removeAppendFile(path_);
        throw JournalError(error_);
    }
}

// Two runs that start in the same microsecond get ids one microsecond apart. The journal is
// locked before its first line, so a recovery never takes a live run for a dead one; should
// another process hold the new file's lock for a moment (a history looking whether a run
// lives), the file is given up for the next name.
void JournalWriter::create(const std::string& folder,
                           std::chrono::system_clock::time_point started) {
    for (int attempt = 0; attempt < kIdAttempts; ++attempt) {
        id_ = journal::runIdAt(started + std::chrono::microseconds(attempt));
        path_ = folder + "/" + id_ + std::string(journal::kSuffix);
        const int created = file_.create(path_);
        if (created == EEXIST) continue;
        if (created != 0) {
            throw JournalError("Cannot create the run's journal " + path_ + ": " +
                               systemErrorText(created));
        }
        const int locked = live_.tryLock(path_);
        if (locked == 0) return;
        if (locked != EWOULDBLOCK && locked != ENOENT) {
            removeAppendFile(path_);
            throw JournalError("Cannot lock the run's journal " + path_ + ": " +
                               systemErrorText(locked));
        }
        removeAppendFile(path_);
    }
    throw JournalError("No free name for a run's journal in " + folder);
}

// Written as it is formatted, so a plan of many entries is never held twice in memory.
void JournalWriter::writePlan(const RunPlan& plan) {
    for (const PlanRoot& root : plan.roots) {
        const std::size_t line = beginRecord(pending_, tag::root);
        addField(pending_, root.path);
        addField(pending_, root.real);
        addNumber(pending_, root.id.device);
        addNumber(pending_, root.id.inode);
        sealRecord(pending_, line, journal::kVersion);
    }
    if (!plan.trash.folder.empty()) {
        const std::size_t line = beginRecord(pending_, tag::trash);
        addField(pending_, plan.trash.folder);
        addField(pending_, plan.trash.top);
        sealRecord(pending_, line, journal::kVersion);
    }
    for (const std::string& folder : plan.foldersToMake) {
        addPath(pending_, journal::kVersion, tag::folder, folder);
    }
    for (const PlanStep& step : plan.steps) {
        addStep(pending_, step);
        if (pending_.size() >= kWriteAt) writePending(false);
    }
    addPlanEnd(pending_, plan);
}

JournalWriter::~JournalWriter() {
    if (!finished_) writePending(true);
}

// After a write that failed nothing more is written: the file may end in a torn line, which
// reads as the place the journal was cut only while nothing sound follows it. Recovery ends
// the journal later, cutting that line off first.
void JournalWriter::writePending(bool sync) {
    if (!error_.empty()) {
        pending_.clear();
        return;
    }
    int code = pending_.empty() ? 0 : file_.append(pending_);
    pending_.clear();
    if (code == 0 && sync) code = file_.syncData();
    if (code != 0) error_ = journal::nameOf(path_) + " cannot be written: " + systemErrorText(code);
}

void JournalWriter::folderMade(const std::string& path) {
    if (error_.empty()) addPath(pending_, journal::kVersion, tag::made, path);
}

void JournalWriter::copied(std::size_t index, const std::string& temporary,
                           const EntryIdentity& identity) {
    if (!error_.empty()) return;
    const std::size_t line = beginRecord(pending_, tag::copied);
    addIndex(pending_, index);
    addField(pending_, temporary);
    addIdentity(pending_, identity);
    sealRecord(pending_, line, journal::kVersion);
}

void JournalWriter::placed(std::size_t index, const StepResult& result) {
    if (!error_.empty()) return;
    const std::size_t line = beginRecord(pending_, tag::placed);
    addIndex(pending_, index);
    addField(pending_, result.target);
    addIdentity(pending_, result.made);
    sealRecord(pending_, line, journal::kVersion);
}

bool JournalWriter::stepDone(std::size_t index, const StepResult& result) {
    figures_.add(result.status);
    if (!error_.empty()) return false;
    addDone(pending_, journal::kVersion, index, result);
    if (pending_.size() >= kWriteAt) writePending(false);
    return error_.empty();
}

void JournalWriter::folderRemoved(const std::string& path, const FolderShape& shape) {
    if (error_.empty()) addRemoved(pending_, journal::kVersion, path, shape);
}

bool JournalWriter::durable() {
    writePending(true);
    return error_.empty();
}

void JournalWriter::finish(RunState end) {
    if (error_.empty()) addEnd(pending_, journal::kVersion, end, figures_, 0);
    writePending(true);
    finished_ = true;
}

void markInterrupted(const std::string& journalPath, const FoundOnDisk& found) {
    const JournalContent before = readJournal(journalPath);
    if (before.ended) return;  // ended already, by its run or an earlier recovery
    const std::string name = journal::nameOf(journalPath);
    const bool foundAny =
        !found.foldersMade.empty() || !found.foldersRemoved.empty() || !found.outcomes.empty();
    if (!before.planComplete && foundAny) {
        throw JournalError(name + " cannot be ended: its run never acted, yet outcomes were given");
    }
    const int version = before.version;
    RunFigures figures = before.figures;
    std::string lines;
    for (const std::string& path : found.foldersMade) addPath(lines, version, tag::made, path);
    std::vector<bool> recorded(before.plan.steps.size());
    for (const StepOutcome& outcome : before.outcomes) recorded[outcome.index] = true;
    for (const auto& [index, result] : found.outcomes) {
        if (index >= recorded.size() || recorded[index]) {
            throw JournalError(name + " cannot be ended: step " + std::to_string(index) +
                               " is not one left open");
        }
        recorded[index] = true;
        addDone(lines, version, index, result);
        figures.add(result.status);
    }
    for (const auto& [path, shape] : found.foldersRemoved) addRemoved(lines, version, path, shape);
    addEnd(lines, version, RunState::Interrupted, figures, before.plan.unreadable.size());
    // What lies beyond the last sound line was torn by the cut: it goes before the end is
    // added, or it would stand amid the journal as damage.
    std::error_code cut;
    std::filesystem::resize_file(journalPath, before.soundLength, cut);
    AppendFile file;
    int code = cut ? cut.value() : file.openAfterLastLine(journalPath);
    if (code == 0) code = file.append(lines);
    if (code == 0) code = file.syncData();
    if (code != 0) throw JournalError(name + " cannot be written: " + systemErrorText(code));
}

}  // namespace kestrune
