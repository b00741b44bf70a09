#include "run/history/journal_reader.h"

#include <climits>
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
constexpr std::size_t kIdentity = journal::kIdentityFields;
constexpr std::size_t kShape = journal::kShapeFields;

JournalError unreadable(const std::string& name, const std::string& reason) {
    return JournalError(name + " cannot be read: " + reason);
}

bool readIndex(const std::string& text, std::size_t& index) {
    std::uint64_t value = 0;
    if (!journal::readNumber(text, value) || value > SIZE_MAX) return false;
    index = static_cast<std::size_t>(value);
    return true;
}

bool readInt(const std::string& text, std::int32_t& value) {
    std::int64_t wide = 0;
    if (!journal::readNumber(text, wide) || wide < INT32_MIN || wide > INT32_MAX) return false;
    value = static_cast<std::int32_t>(wide);
    return true;
}

bool readAction(const std::string& text, Action& action) {
    std::int32_t code = 0;
    if (!readInt(text, code) || code < static_cast<int>(Action::None) ||
        code > static_cast<int>(Action::Place)) {
        return false;
    }
    action = static_cast<Action>(code);
    return true;
}

// The parts of a journal, in the order they come.
enum class Part { Header, Plan, Acting, Ended };

constexpr const char* kFieldCount = "a wrong number of fields";
constexpr const char* kBadField = "a field that does not read";
constexpr const char* kNoSuchStep = "a step beyond the plan";

// Takes a journal's records one by one, each whole or not at all; a record that does not
// read, or comes out of its place, is refused with the reason.
class Reader {
  public:
    Reader(JournalContent& content, JournalDetail detail)
        : out_(content), detail_(detail), version_(content.version) {}

    const char* record(const Fields& f) {
        const std::string& t = f[0];
        if (part_ == Part::Header) return t == tag::run ? run(f) : "not the run record";
        if (part_ == Part::Ended) return "a record after the end";
        if (t == tag::end) return end(f);
        if (t == tag::acting) {
            if (part_ != Part::Plan) return "a second acting record";
            if (f.size() != 1) return kFieldCount;
            part_ = Part::Acting;
            out_.planComplete = true;
            // At most an outcome a step: room for them all at once, none spare.
            if (detail_ == JournalDetail::Full) out_.outcomes.reserve(steps_);
            return nullptr;
        }
        if (isPlanRecord(t)) {
            return part_ == Part::Plan ? planRecord(f) : "a record of the plan after acting";
        }
        if (isRunRecord(t)) {
            return part_ == Part::Acting ? runRecord(f) : "a record of the run before acting";
        }
        return "an unknown record";
    }

    bool sawRun() const { return part_ != Part::Header; }

    // The end as the last line of a long journal gives it, its figures taken on trust:
    // a summary that skipped the records between.
    bool endOnly(const Fields& f) {
        Ending ending;
        if (part_ == Part::Header || f[0] != tag::end || !endFields(f, ending)) return false;
        take(ending);
        out_.figures = ending.figures;
        return true;
    }

  private:
    struct Ending {
        RunState state = RunState::Interrupted;
        std::string time;
        RunFigures figures;
    };

    bool isPlanRecord(const std::string& t) const {
        if (t == tag::folder || t == tag::step || t == tag::unreadable) return true;
        return version_ >= 2 &&
               (t == tag::root || t == tag::trash || t == tag::empty || t == tag::shape);
    }

    bool isRunRecord(const std::string& t) const {
        if (t == tag::made || t == tag::removed || t == tag::done) return true;
        return version_ >= 2 && (t == tag::copied || t == tag::placed);
    }

    const char* planRecord(const Fields& f) {
        const std::string& t = f[0];
        if (t == tag::step) return step(f);
        if (t == tag::folder) {
            return f.size() == 2 ? keep(out_.plan.foldersToMake, f[1]) : kFieldCount;
        }
        if (t == tag::unreadable) return unreadableFolder(f);
        if (t == tag::root) return root(f);
        if (t == tag::trash) return trash(f);
        if (t == tag::empty) {
            return f.size() == 2 ? keep(out_.plan.foldersToRemove, f[1]) : kFieldCount;
        }
        return shape(f);
    }

    const char* runRecord(const Fields& f) {
        const std::string& t = f[0];
        if (t == tag::done) return done(f);
        if (t == tag::made) return f.size() == 2 ? keep(out_.foldersMade, f[1]) : kFieldCount;
        if (t == tag::removed) return removed(f);
        if (t == tag::copied) return copied(f);
        return placed(f);
    }

    const char* trash(const Fields& f) {
        if (f.size() != 3) return kFieldCount;
        if (f[1].empty()) return kBadField;
        if (!out_.plan.trash.folder.empty()) return "a second trash record";
        out_.plan.trash = {f[1], f[2]};
        return nullptr;
    }

    const char* shape(const Fields& f) {
        FolderShape shape;
        if (f.size() != 2 + kShape) return kFieldCount;
        if (!journal::readShape(f, 2, shape)) return kBadField;
        if (detail_ == JournalDetail::Full) out_.plan.shapes.emplace_back(f[1], shape);
        return nullptr;
    }

    const char* run(const Fields& f) {
        if (f.size() != 11) return kFieldCount;
        TaskRecord record;
        if (!readInt(f[6], record.action) || !readInt(f[7], record.depthCode) ||
            (f[9] != "0" && f[9] != "1")) {
            return kBadField;
        }
        record.sourceFolder = f[4];
        record.targetFolder = f[5];
        record.filters = f[8];
        record.flat = f[9] == "1";
        out_.id = f[1];
        out_.started = f[2];
        out_.plan.task = f[3];
        out_.plan.record = std::move(record);
        out_.undoes = f[10];
        part_ = Part::Plan;
        return nullptr;
    }

    const char* root(const Fields& f) {
        if (f.size() != 5) return kFieldCount;
        PlanRoot root{f[1], f[2], {}};
        if (!journal::readNumber(f[3], root.id.device) ||
            !journal::readNumber(f[4], root.id.inode)) {
            return kBadField;
        }
        out_.plan.roots.push_back(std::move(root));
        return nullptr;
    }

    const char* step(const Fields& f) {
        const std::size_t fields = 5 + kIdentity + 1 + (version_ >= 2 ? 1 : 0);
        if (f.size() != fields) return kFieldCount;
        PlanStep step;
        const auto status = journal::statusFromWord(f[2]);
        if (!readAction(f[1], step.action) || !status ||
            !journal::readIdentity(f, 5, step.identity)) {
            return kBadField;
        }
        if (version_ >= 2 && !f.back().empty() && !readIndex(f.back(), step.origin)) {
            return kBadField;
        }
        ++steps_;
        if (detail_ == JournalDetail::Summary) return nullptr;
        step.status = *status;
        step.source = f[3];
        step.target = f[4];
        step.error = f[5 + kIdentity];
        out_.plan.steps.push_back(std::move(step));
        return nullptr;
    }

    const char* unreadableFolder(const Fields& f) {
        if (f.size() != 3) return kFieldCount;
        out_.figures.failed += 1;
        out_.plan.unreadable.push_back({f[1], f[2]});
        return nullptr;
    }

    const char* removed(const Fields& f) {
        FolderShape shape;
        if (version_ < 2) {
            if (f.size() != 2) return kFieldCount;
        } else {
            if (f.size() != 2 + kShape) return kFieldCount;
            if (!journal::readShape(f, 2, shape)) return kBadField;
        }
        if (detail_ == JournalDetail::Full) out_.foldersRemoved.emplace_back(f[1], shape);
        return nullptr;
    }

    // INDEX TEXT IDENTITY, as copied and placed have them.
    const char* indexed(const Fields& f, std::size_t& index, EntryIdentity& identity) {
        if (f.size() != 3 + kIdentity) return kFieldCount;
        if (!readIndex(f[1], index) || !journal::readIdentity(f, 3, identity)) return kBadField;
        return index < steps_ ? nullptr : kNoSuchStep;
    }

    const char* copied(const Fields& f) {
        CopyRecord copy;
        if (const char* problem = indexed(f, copy.index, copy.identity)) return problem;
        if (detail_ == JournalDetail::Summary) return nullptr;
        copy.temporary = f[2];
        out_.copies.push_back(std::move(copy));
        return nullptr;
    }

    const char* placed(const Fields& f) {
        StepOutcome outcome;
        if (const char* problem = indexed(f, outcome.index, outcome.result.made)) return problem;
        if (detail_ == JournalDetail::Summary) return nullptr;
        outcome.result.status = StepStatus::Done;
        outcome.result.target = f[2];
        out_.placed.push_back(std::move(outcome));
        return nullptr;
    }

    const char* done(const Fields& f) {
        if (f.size() != 4 + kIdentity + 1) return kFieldCount;
        StepOutcome outcome;
        const auto status = journal::statusFromWord(f[2]);
        if (!readIndex(f[1], outcome.index) || !status ||
            !journal::readIdentity(f, 4, outcome.result.made)) {
            return kBadField;
        }
        if (outcome.index >= steps_) return kNoSuchStep;
        if (doneSteps_.size() < steps_) doneSteps_.resize(steps_);
        if (doneSteps_[outcome.index]) return "a step done twice";
        doneSteps_[outcome.index] = true;
        out_.figures.add(*status);
        if (detail_ == JournalDetail::Summary) return nullptr;
        outcome.result.status = *status;
        outcome.result.target = f[3];
        outcome.result.error = f.back();
        out_.outcomes.push_back(std::move(outcome));
        return nullptr;
    }

    const char* end(const Fields& f) {
        Ending ending;
        if (f.size() != (version_ >= 2 ? 7u : 5u)) return kFieldCount;
        if (!endFields(f, ending)) return kBadField;
        // Version 1 counted the failed without the unreadable folders; its records say it all.
        if (version_ >= 2 && !(ending.figures == out_.figures)) return "figures unlike its records";
        take(ending);
        return nullptr;
    }

    bool endFields(const Fields& f, Ending& ending) const {
        RunFigures& figures = ending.figures;
        if (f.size() != (version_ >= 2 ? 7u : 5u)) return false;
        if (!readIndex(f[3], figures.done) || !readIndex(f[4], figures.failed)) return false;
        if (version_ >= 2 &&
            (!readIndex(f[5], figures.leftAlone) || !readIndex(f[6], figures.merged))) {
            return false;
        }
        ending.time = f[2];
        for (const RunState state : {RunState::Done, RunState::Interrupted}) {
            if (f[1] == runStateWord(state)) {
                ending.state = state;
                return true;
            }
        }
        return false;
    }

    void take(const Ending& ending) {
        out_.ended = true;
        out_.end = ending.state;
        out_.endTime = ending.time;
        part_ = Part::Ended;
    }

    const char* keep(std::vector<std::string>& list, const std::string& value) {
        if (detail_ == JournalDetail::Full) list.push_back(value);
        return nullptr;
    }

    JournalContent& out_;
    JournalDetail detail_;
    int version_;
    Part part_ = Part::Header;
    std::size_t steps_ = 0;
    std::vector<bool> doneSteps_;
};

// The record of a whole line into `fields`; false for a line torn (without its line feed, or
// from version 2 with a checksum that fails) or with a broken escape.
bool fieldsOf(std::string_view line, int version, Fields& fields) {
    const std::optional<std::string_view> record = journal::recordOf(line, version);
    return record && splitFields(*record, fields);
}

// Takes a journal's bytes piece by piece, each line as it comes whole, so that a long
// journal is never held whole. A torn line ends the journal where it was cut, unless a sound
// line (one whose checksum holds; in version 1, which has none, any whole line) follows; a
// sound line that does not read was written so, or edited: never a cut.
class LineReader {
  public:
    LineReader(const std::string& name, JournalDetail detail) : name_(name), detail_(detail) {}

    void take(std::string_view piece) {
        if (!carry_.empty()) {
            const std::size_t end = piece.find('\n');
            if (end == std::string_view::npos) {
                carry_ += piece;
                return;
            }
            carry_ += piece.substr(0, end);
            line(carry_);
            carry_.clear();
            piece.remove_prefix(end + 1);
        }
        for (std::size_t end = piece.find('\n'); end != std::string_view::npos;
             end = piece.find('\n')) {
            line(piece.substr(0, end));
            piece.remove_prefix(end + 1);
        }
        carry_ += piece;
    }

    JournalContent finish() {
        if (!reader_) throw unreadable(name_, "it does not begin as a run journal does");
        // A last line without its line feed was torn by a kill or a power cut.
        if (!carry_.empty() && cutAt_.empty())
            cutAt_ = "line " + std::to_string(number_ + 1) + " is damaged";
        if (!reader_->sawRun()) {
            throw unreadable(name_, cutAt_.empty() ? "it holds no run record" : cutAt_);
        }
        return std::move(content_);
    }

  private:
    void line(std::string_view text) {
        ++number_;
        const std::size_t length = text.size() + 1;
        offset_ += length;
        if (!reader_) return header(text);
        const int version = content_.version;
        if (!cutAt_.empty()) {
            if (journal::recordOf(text, version)) throw unreadable(name_, cutAt_);
            return;
        }
        const bool fields = fieldsOf(text, version, fields_);
        const char* problem = fields ? reader_->record(fields_) : nullptr;
        if (fields && problem == nullptr) {
            content_.soundLength = offset_;
            return;
        }
        cutAt_ = "line " + std::to_string(number_) +
                 (problem ? std::string(" holds ") + problem : std::string(" is damaged"));
        if (fields && version >= 2) throw unreadable(name_, cutAt_);
    }

    void header(std::string_view text) {
        const std::optional<int> version = journal::versionOf(text);
        if (!version) throw unreadable(name_, "it does not begin as a run journal does");
        if (*version > journal::kVersion) {
            throw unreadable(name_, "its version " + std::to_string(*version) +
                                        " is newer than this program reads");
        }
        content_.version = *version;
        content_.soundLength = offset_;
        reader_.emplace(content_, detail_);
    }

    const std::string& name_;
    JournalDetail detail_;
    JournalContent content_;
    std::optional<Reader> reader_;
    std::string carry_;       // the start of a line whose end is still to come
    std::size_t offset_ = 0;  // the bytes of the whole lines taken
    std::size_t number_ = 0;  // the lines taken
    std::string cutAt_;       // where and why the journal was cut
    Fields fields_;           // of the line at hand
};

}  // namespace

JournalContent readJournal(const std::string& path, JournalDetail detail) {
    if (detail == JournalDetail::Summary) {
        const FileEnds ends = readFileEnds(path, kEndBytes);
        if (ends.ok && !ends.whole) {
            if (std::optional<JournalContent> quick = summaryFromEnds(ends.head, ends.tail)) {
                return std::move(*quick);
            }
        }
    }
    const std::string name = journal::nameOf(path);
    LineReader lines(name, detail);
    const FileContent file =
        systemFileIo().readPieces(path, [&lines](std::string_view piece) { lines.take(piece); });
    if (!file.ok()) throw unreadable(name, file.error);
    return lines.finish();
}

JournalContent parseJournal(std::string_view bytes, const std::string& name, JournalDetail detail) {
    return parseJournal(std::vector<std::string_view>{bytes}, name, detail);
}

JournalContent parseJournal(const std::vector<std::string_view>& pieces, const std::string& name,
                            JournalDetail detail) {
    LineReader lines(name, detail);
    for (const std::string_view piece : pieces) lines.take(piece);
    return lines.finish();
}

std::optional<JournalContent> summaryFromEnds(std::string_view head, std::string_view tail) {
    const std::size_t first = head.find('\n');
    const std::size_t second = first == std::string_view::npos ? first : head.find('\n', first + 1);
    if (second == std::string_view::npos ||
        journal::versionOf(head.substr(0, first)) != journal::kVersion || tail.size() < 2 ||
        tail.back() != '\n') {
        return std::nullopt;
    }
    const std::size_t last = tail.rfind('\n', tail.size() - 2);
    if (last == std::string_view::npos) return std::nullopt;
    Fields runFields, endFields;
    if (!fieldsOf(head.substr(first + 1, second - first - 1), journal::kVersion, runFields) ||
        !fieldsOf(tail.substr(last + 1, tail.size() - last - 2), journal::kVersion, endFields)) {
        return std::nullopt;
    }
    JournalContent content;
    content.version = journal::kVersion;
    Reader reader(content, JournalDetail::Summary);
    if (reader.record(runFields) != nullptr || !reader.endOnly(endFields)) {
        return std::nullopt;
    }
    return content;
}

}  // namespace kestrune
