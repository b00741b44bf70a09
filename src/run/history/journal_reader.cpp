#include "run/history/journal_reader.h"

#include <optional>
#include <string_view>

#include "platform/file_ends.h"
#include "platform/file_io.h"
#include "run/history/journal_format.h"
#include "run/history/line_fields.h"

namespace kestrune {

namespace {

namespace tag = journal::tag;
using Fields = std::vector<std::string>;

// Enough for the header line with long paths, and for the end line.
constexpr std::size_t kEndBytes = 1 << 16;

bool readIndex(const std::string& text, std::size_t& index) {
    std::uint64_t value = 0;
    if (!journal::readNumber(text, value)) return false;
    index = static_cast<std::size_t>(value);
    return true;
}

bool readInt(const std::string& text, std::int32_t& value) {
    std::int64_t wide = 0;
    if (!journal::readNumber(text, wide) || wide < INT32_MIN || wide > INT32_MAX) return false;
    value = static_cast<std::int32_t>(wide);
    return true;
}

class Reader {
  public:
    Reader(JournalContent& content, JournalDetail detail) : out_(content), detail_(detail) {}

    // False for a line that does not read as its tag says.
    bool line(const Fields& f) {
        const std::string& t = f[0];
        if (t == tag::run) return run(f);
        if (t == tag::folder && f.size() == 2) return keep(out_.plan.foldersToMake, f[1]);
        if (t == tag::step) return step(f);
        if (t == tag::unreadable && f.size() == 3) {
            out_.plan.unreadable.push_back({f[1], f[2]});
            return true;
        }
        if (t == tag::acting && f.size() == 1) return out_.planComplete = true;
        if (t == tag::made && f.size() == 2) return keep(out_.foldersMade, f[1]);
        if (t == tag::removed && f.size() == 2) {
            if (detail_ == JournalDetail::Full)
                out_.foldersRemoved.emplace_back(f[1], FolderShape{});
            return true;
        }
        if (t == tag::done) return done(f);
        if (t == tag::end && f.size() == 5) return end(f);
        return false;
    }

    // The counts as the end line gives them, for a reader that skipped the outcomes.
    void takeCountsOfEnd() {
        out_.figures.done = endDone_;
        out_.figures.failed = endFailed_;
    }

  private:
    bool run(const Fields& f) {
        if (f.size() != 11) return false;
        TaskRecord& record = out_.plan.record;
        out_.id = f[1];
        out_.started = f[2];
        out_.plan.task = f[3];
        record.sourceFolder = f[4];
        record.targetFolder = f[5];
        record.filters = f[8];
        record.flat = f[9] == "1";
        out_.undoes = f[10];
        return readInt(f[6], record.action) && readInt(f[7], record.depthCode);
    }

    bool step(const Fields& f) {
        if (f.size() != 5 + journal::kIdentityFields + 1) return false;
        PlanStep step;
        std::int32_t action = 0;
        const auto status = journal::statusFromWord(f[2]);
        if (!readInt(f[1], action) || !status || !journal::readIdentity(f, 5, step.identity)) {
            return false;
        }
        ++steps_;
        if (detail_ == JournalDetail::Summary) return true;
        step.action = static_cast<Action>(action);
        step.status = *status;
        step.source = f[3];
        step.target = f[4];
        step.error = f.back();
        out_.plan.steps.push_back(std::move(step));
        return true;
    }

    bool done(const Fields& f) {
        if (f.size() != 4 + journal::kIdentityFields + 1) return false;
        StepOutcome outcome;
        const auto status = journal::statusFromWord(f[2]);
        if (!readIndex(f[1], outcome.index) || outcome.index >= steps_ || !status ||
            !journal::readIdentity(f, 4, outcome.result.made)) {
            return false;
        }
        outcome.result.status = *status;
        out_.figures.add(*status);
        if (detail_ == JournalDetail::Summary) return true;
        outcome.result.target = f[3];
        outcome.result.error = f.back();
        out_.outcomes.push_back(std::move(outcome));
        return true;
    }

    bool end(const Fields& f) {
        if (!readIndex(f[3], endDone_) || !readIndex(f[4], endFailed_)) return false;
        for (const RunState state : {RunState::Done, RunState::Interrupted}) {
            if (f[1] == runStateWord(state)) {
                out_.ended = true;
                out_.end = state;
                out_.endTime = f[2];
                return true;
            }
        }
        return false;
    }

    bool keep(std::vector<std::string>& list, const std::string& value) {
        if (detail_ == JournalDetail::Full) list.push_back(value);
        return true;
    }

    JournalContent& out_;
    JournalDetail detail_;
    std::size_t steps_ = 0;
    std::size_t endDone_ = 0;
    std::size_t endFailed_ = 0;
};

// A journal's first lines say what ran and its last line how it ended with its counts: a
// history of long runs reads just the two ends of each. Nullopt when that does not suffice
// (a short file, a run without its end), and the whole file is read instead.
std::optional<JournalContent> readFromEnds(const std::string& path) {
    const FileEnds ends = readFileEnds(path, kEndBytes);
    if (!ends.ok || ends.whole) return std::nullopt;
    const std::string_view head = ends.head;
    const std::string_view tail = ends.tail;
    const std::size_t first = head.find('\n');
    const std::size_t second = first == std::string_view::npos ? first : head.find('\n', first + 1);
    if (second == std::string_view::npos || head.substr(0, first) != journal::kVersionLine ||
        tail.size() < 2 || tail.back() != '\n') {
        return std::nullopt;
    }
    const std::size_t last = tail.rfind('\n', tail.size() - 2);
    if (last == std::string_view::npos) return std::nullopt;
    const auto runFields = splitFields(head.substr(first + 1, second - first - 1));
    const auto endFields = splitFields(tail.substr(last + 1, tail.size() - last - 2));
    JournalContent content;
    Reader reader(content, JournalDetail::Summary);
    if (!runFields || !endFields || (*runFields)[0] != tag::run || (*endFields)[0] != tag::end ||
        !reader.line(*runFields) || !reader.line(*endFields)) {
        return std::nullopt;
    }
    reader.takeCountsOfEnd();
    content.planComplete = true;
    return content;
}

}  // namespace

JournalContent readJournal(const std::string& path, JournalDetail detail) {
    if (detail == JournalDetail::Summary) {
        if (std::optional<JournalContent> quick = readFromEnds(path)) return std::move(*quick);
    }
    const FileContent file = systemFileIo().read(path);
    if (!file.ok()) throw JournalError("Cannot read the journal " + path + ": " + file.error);
    return parseJournal(file.bytes, path, detail);
}

JournalContent parseJournal(std::string_view text, const std::string& name, JournalDetail detail) {
    const std::size_t firstEnd = text.find('\n');
    if (firstEnd == std::string_view::npos || text.substr(0, firstEnd) != journal::kVersionLine) {
        throw JournalError("Not a run journal of this version: " + name);
    }
    JournalContent content;
    content.soundLength = firstEnd + 1;
    Reader reader(content, detail);
    // Only lines that end in a line feed count: a last one without was cut off mid-write.
    for (std::size_t start = firstEnd + 1; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) break;
        const std::optional<Fields> fields = splitFields(text.substr(start, end - start));
        if (!fields || !reader.line(*fields)) break;
        start = end + 1;
        content.soundLength = start;
    }
    return content;
}

}  // namespace kestrune
