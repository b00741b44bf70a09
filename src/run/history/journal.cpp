#include "run/history/journal.h"

#include <cerrno>

#include "platform/append_file.h"
#include "platform/file_actions.h"
#include "platform/file_io.h"
#include "run/history/journal_format.h"
#include "run/history/journal_reader.h"
#include "run/history/line_fields.h"

namespace kestrune {

namespace {

namespace tag = journal::tag;

// Records gathered beyond this are written (not flushed) so memory stays small.
constexpr std::size_t kWriteAt = 1 << 20;
constexpr int kIdAttempts = 1000;

void addField(std::string& line, std::string_view text) {
    line += '\t';
    appendField(line, text);
}

std::string headerLines(const std::string& id, const RunPlan& plan,
                        std::chrono::system_clock::time_point started, const std::string& undoes) {
    const TaskRecord& record = plan.record;
    std::string text(journal::kVersionLine);
    text.append("\n").append(tag::run);
    for (const std::string& field :
         {id, journal::isoTime(started), plan.task, record.sourceFolder, record.targetFolder,
          std::to_string(record.action), std::to_string(record.depthCode), record.filters,
          std::string(record.flat ? "1" : "0"), undoes}) {
        addField(text, field);
    }
    text += '\n';
    return text;
}

// The state folder too may be new: it is made on its first write.
void makeFolders(const std::string& folder) {
    const std::string error = makeStateFolders(folder);
    if (!error.empty()) throw JournalError("Cannot create folder " + folder + ": " + error);
}

std::string pathLine(std::string_view tagName, const std::string& path) {
    std::string line(tagName);
    addField(line, path);
    return line + '\n';
}

std::string doneLine(std::size_t index, const StepResult& result) {
    std::string line(tag::done);
    line.append("\t").append(std::to_string(index));
    addField(line, statusWord(result.status));
    addField(line, result.target);
    journal::appendIdentity(line, result.made);
    addField(line, result.error);
    return line + '\n';
}

// The end line repeats the counts, so that a history need not read the outcomes.
std::string endLine(RunState end, std::size_t done, std::size_t failed) {
    std::string line(tag::end);
    addField(line, runStateWord(end));
    addField(line, journal::isoTime(std::chrono::system_clock::now()));
    addField(line, std::to_string(done));
    addField(line, std::to_string(failed));
    return line + '\n';
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
    pending_ = headerLines(id_, plan, started, undoes);
    writePlan(plan);
    writePending(true);
    if (!error_.empty()) {
        removeAppendFile(path_);
        throw JournalError("Unable to write the run's journal " + path_ + ": " + error_);
    }
}

// Two runs that start in the same microsecond get ids one microsecond apart.
void JournalWriter::create(const std::string& folder,
                           std::chrono::system_clock::time_point started) {
    for (int attempt = 0; attempt < kIdAttempts; ++attempt) {
        id_ = journal::runIdAt(started + std::chrono::microseconds(attempt));
        path_ = folder + "/" + id_ + std::string(journal::kSuffix);
        int code = file_.create(path_);
        // Locked before its first line: a recovery never takes a live run for a dead one.
        if (code == 0) code = live_.tryLock(path_);
        if (code == 0) return;
        if (code != EEXIST) {
            throw JournalError("Cannot create the run's journal " + path_ + ": " +
                               systemErrorText(code));
        }
    }
    throw JournalError("No free name for a run's journal in " + folder);
}

// Written as it is formatted, so a plan of many entries is never held twice in memory.
void JournalWriter::writePlan(const RunPlan& plan) {
    for (const std::string& folder : plan.foldersToMake) {
        pending_.append(tag::folder);
        addField(pending_, folder);
        pending_ += '\n';
    }
    for (const PlanStep& step : plan.steps) {
        pending_.append(tag::step).append("\t");
        pending_.append(std::to_string(static_cast<int>(step.action)));
        addField(pending_, statusWord(step.status));
        addField(pending_, step.source);
        addField(pending_, step.target);
        journal::appendIdentity(pending_, step.identity);
        addField(pending_, step.error);
        pending_ += '\n';
        if (pending_.size() >= kWriteAt) writePending(false);
    }
    for (const FolderProblem& problem : plan.unreadable) {
        pending_.append(tag::unreadable);
        addField(pending_, problem.folder);
        addField(pending_, problem.reason);
        pending_ += '\n';
    }
    pending_.append(tag::acting).append("\n");
}

JournalWriter::~JournalWriter() {
    if (!finished_) writePending(true);
}

void JournalWriter::writePending(bool sync) {
    if (!error_.empty()) return;
    int code = pending_.empty() ? 0 : file_.append(pending_);
    pending_.clear();
    if (code == 0 && sync) code = file_.syncData();
    if (code != 0) error_ = systemErrorText(code);
}

void JournalWriter::folderMade(const std::string& path) {
    pending_ += pathLine(tag::made, path);
}

bool JournalWriter::stepDone(std::size_t index, const StepResult& result) {
    figures_.add(result.status);
    pending_ += doneLine(index, result);
    if (pending_.size() >= kWriteAt) writePending(false);
    return error_.empty();
}

void JournalWriter::copied(std::size_t /*index*/, const std::string& /*temporary*/,
                           const EntryIdentity& /*identity*/) {}

void JournalWriter::placed(std::size_t /*index*/, const StepResult& /*result*/) {}

void JournalWriter::folderRemoved(const std::string& path, const FolderShape& /*shape*/) {
    pending_ += pathLine(tag::removed, path);
}

bool JournalWriter::durable() {
    writePending(true);
    return error_.empty();
}

void JournalWriter::finish(RunState end) {
    pending_ += endLine(end, figures_.done, figures_.failed);
    writePending(true);
    finished_ = true;
}

void markInterrupted(const std::string& journalPath, const FoundOnDisk& found) {
    const JournalContent before = readJournal(journalPath, JournalDetail::Summary);
    std::string lines;
    for (const std::string& path : found.foldersMade) lines += pathLine(tag::made, path);
    std::size_t done = before.figures.done;
    std::size_t failed = before.figures.failed;
    for (const auto& [index, result] : found.outcomes) {
        lines += doneLine(index, result);
        if (result.status == StepStatus::Done) ++done;
        if (result.status == StepStatus::Failed) ++failed;
    }
    for (const auto& [path, shape] : found.foldersRemoved) lines += pathLine(tag::removed, path);
    lines += endLine(RunState::Interrupted, done, failed);
    AppendFile file;
    int code = file.openAfterLastLine(journalPath);
    if (code == 0) code = file.append(lines);
    if (code == 0) code = file.syncData();
    if (code != 0) {
        throw JournalError("Unable to write the run's journal " + journalPath + ": " +
                           systemErrorText(code));
    }
}

}  // namespace kestrune
