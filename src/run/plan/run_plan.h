#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/entry_identity.h"
#include "platform/folder_shape.h"
#include "run/plan/task_record.h"

namespace kestrune {

// What a step does. The first five are the action codes of a task record (`actions`), equal
// to the editor's action list index; the others only undo and recovery plan. The words the
// command line, the report and the journal show are given by actionWord(), in one place.
enum class Action {
    None = 0,
    Move = 1,
    Copy = 2,
    Delete = 3,
    Trash = 4,
    PutBack = 5,     // from the trash back to the place it was trashed from
    RemoveCopy = 6,  // an entry a run made: a copy, or a temporary copy of a run cut short
    Place = 7,       // a temporary copy of a run cut short put under its planned name
};
const char* actionWord(Action action);

// The state of one step. The words the command line, the report and the journal show are
// given by statusWord(), in one place.
enum class StepStatus {
    Planned,  // to be done (a preview's line)
    Merged,   // a selected folder the walk enters: its entries are handled one by one
    Same,     // the plain target already holds the same content (skipsame): left alone
    Busy,     // open for writing or an unfinished download: left for a later run
    Done,     // carried out
    Failed,   // planning or the action failed; PlanStep::error says why
};
const char* statusWord(StepStatus status);

inline constexpr std::size_t kNoOrigin = static_cast<std::size_t>(-1);

// One entry of the run, in the order the run handles them.
struct PlanStep {
    Action action = Action::None;
    std::string source;      // full path
    EntryIdentity identity;  // the source as listed
    std::string target;      // full target path; the mirrored folder for Merged; empty for
                             // delete and trash
    StepStatus status = StepStatus::Planned;
    std::string error;  // the reason when Failed
    // For a step of an undo: the index of the step of the undone run it takes back.
    std::size_t origin = kNoOrigin;
    // The entry's random parts (placement.h's PlacedName): should the target name be taken
    // by the time the entry is acted on, the executor draws the part after the plan's.
    std::uint32_t nameDraws = 0;  // 0: the plain name was free, and no seed was needed
    std::uint64_t nameSeed = 0;
};

// The steps of a plan, kept compactly: each folder's path once, each name once (a target that
// keeps its source's name shares it), so that a run of a million entries holds about a hundred
// bytes an entry beside its names, in blocks that never move as the list grows. A step is
// made whole when it is asked for.
class StepList {
  public:
    class Iterator;

    StepList() = default;
    StepList(std::initializer_list<PlanStep> steps);

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    PlanStep operator[](std::size_t index) const;
    PlanStep at(std::size_t index) const;  // throws std::out_of_range
    StepStatus status(std::size_t index) const;
    Iterator begin() const;
    Iterator end() const;

    void push_back(const PlanStep& step);
    // Replaces the step at that index.
    void set(std::size_t index, const PlanStep& step);
    // The step waits for a later run: found open for writing after it was planned.
    void markBusy(std::size_t index);

  private:
    struct Packed {
        EntryIdentity identity;
        std::uint64_t nameSeed = 0;
        std::uint64_t sourceName = 0;  // where the names lie (nameAt)
        std::uint64_t targetName = 0;
        std::uint32_t sourceFolder = 0;  // index into folders_
        std::uint32_t targetFolder = 0;  // kNoFolder: no target
        std::uint32_t sourceLength = 0;
        std::uint32_t targetLength = 0;
        std::uint32_t nameDraws = 0;
        Action action = Action::None;
        StepStatus status = StepStatus::Planned;
    };
    static constexpr std::uint32_t kNoFolder = UINT32_MAX;
    static constexpr std::size_t kBlock = 4096;  // steps a block

    Packed pack(const PlanStep& step);
    std::uint32_t folderIndex(std::string_view folder, std::uint32_t& last);
    std::uint64_t addName(std::string_view name);
    std::string_view nameAt(std::uint64_t at, std::uint32_t length) const;
    const Packed& packed(std::size_t index) const {
        return blocks_[index / kBlock][index % kBlock];
    }
    Packed& packed(std::size_t index) { return blocks_[index / kBlock][index % kBlock]; }
    void keepExtras(std::size_t index, const PlanStep& step);

    std::vector<std::vector<Packed>> blocks_;  // each reserved whole, never reallocated
    std::size_t size_ = 0;
    std::vector<std::string> folders_;  // each ends with "/", or is empty
    std::unordered_map<std::string, std::uint32_t> folderIndex_;
    std::uint32_t lastSource_ = kNoFolder;  // the folders of the latest step: the usual next
    std::uint32_t lastTarget_ = kNoFolder;
    std::vector<std::string> names_;  // pieces of names end to end, each filled to its room
    std::unordered_map<std::size_t, std::string> errors_;  // of failed steps
    std::vector<std::size_t> origins_;                     // only once some step has an origin
};

class StepList::Iterator {
  public:
    Iterator(const StepList& list, std::size_t at) : list_(&list), at_(at) {}
    PlanStep operator*() const { return (*list_)[at_]; }
    Iterator& operator++() {
        ++at_;
        return *this;
    }
    bool operator==(const Iterator& other) const { return at_ == other.at_; }

  private:
    const StepList* list_;
    std::size_t at_;
};

// A folder below the source that could not be listed: a failure of the run, never silent.
struct FolderProblem {
    std::string folder;
    std::string reason;
};

// A folder a plan reaches entries through. Links at or above it were followed once, when
// the plan was made; below it the executor follows none.
struct PlanRoot {
    std::string path;  // as the plan's paths spell it, without a trailing "/" ("" for "/")
    std::string real;  // the folder those links led to when the plan was made
    FolderId id;       // the folder found there; zero when it did not exist yet
};

// The trash a plan trashes into: a trash folder holding files/ and info/, and the folder
// that the .trashinfo files' paths are relative to (empty: they are absolute).
struct PlanTrash {
    std::string folder;
    std::string top;
};

// A run planned whole before anything is touched. The preview prints it, the executor
// carries it out, the journal records it.
struct RunPlan {
    std::string task;
    TaskRecord record;
    std::string undoes;  // for an undo: the id of the run it takes back
    std::string error;   // non-empty: the task cannot run, nothing planned
    // Every path the plan touches lies at or below one of these; the executor refuses any
    // other. Empty for a plan only shown.
    std::vector<PlanRoot> roots;
    PlanTrash trash;                         // for trash steps
    std::vector<std::string> foldersToMake;  // parents before children
    StepList steps;
    std::vector<FolderProblem> unreadable;
    // Removed after the steps when they are empty, in this order (children first).
    std::vector<std::string> foldersToRemove;
    // Given back their mode and times after the steps: folders a run removed, made again.
    std::vector<std::pair<std::string, FolderShape>> shapes;
    // An undo puts each entry back exactly where it was: a target taken since fails its step
    // instead of taking another name.
    bool exactTargets = false;
};

}  // namespace kestrune
