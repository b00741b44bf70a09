#include "run/auto/auto_runner.h"

#include <algorithm>

#include "platform/folder_listing.h"
#include "run/auto/automatic_rules.h"
#include "run/history/journal_format.h"
#include "run/history/run_history.h"
#include "run/plan/path_rules.h"
#include "store/program_files.h"

namespace kestrune {

namespace {

// A turn waits no longer than this even with nothing due, so that a clock set forward
// (or a machine woken from sleep) is noticed.
constexpr int kLongestWaitMs = 60'000;
// A watched source that is gone is looked for again at most this often.
constexpr auto kSourceLookEvery = std::chrono::seconds(30);

// When the task last ran, by hand or by itself: its newest journal that is not an undo.
std::optional<AutoScheduler::Time> lastRunOf(const std::vector<HistoryEntry>& history,
                                             const std::string& task) {
    for (const HistoryEntry& entry : history) {
        if (entry.journal.plan.task != task || !entry.journal.undoes.empty()) continue;
        if (auto started = journal::timeFromIso(entry.journal.started)) return started;
    }
    return std::nullopt;
}

WalkRequest walkOf(const TaskRecord& record) {
    WalkRequest request{sourceRootOf(record.sourceFolder), record.depthCode, {}, false};
    // The target inside the source is never walked by a run, so its folders need no watch.
    FolderId target;
    if (folderIdentity(record.targetFolder, target)) request.skip = target;
    return request;
}

}  // namespace

AutoRunner::AutoRunner(std::string stateFolder, StartRun start, AutoRunnerOptions options)
    : stateFolder_(std::move(stateFolder)),
      start_(std::move(start)),
      options_(std::move(options)),
      watch_(options_.watch ? std::move(options_.watch) : makeFolderWatch()),
      wake_(makeWakeSignal()),
      scheduler_(options_.timing) {
    // The task files are replaced whole when saved: a new entry in the state folder.
    if (const std::string problem = watch_->add(stateFolder_); !problem.empty()) {
        tell({}, "Cannot watch " + stateFolder_ + ": " + problem +
                     "; changed tasks are taken in only at the next start");
    }
}

AutoRunner::~AutoRunner() = default;

AutoRunner::Time AutoRunner::now() const {
    return options_.clock ? options_.clock() : std::chrono::system_clock::now();
}

void AutoRunner::run() {
    while (!stopped()) turn(-1);
}

void AutoRunner::turn(int maxWaitMs) {
    if (rulesChanged_) readRules();
    takeEnded();
    for (const DueRun& due : scheduler_.takeDue(now())) start_(due);
    tellNotices();
    publishSchedule();
    if (stopped()) return;
    wake_->wait(watch_->descriptor(), waitMs(maxWaitMs));
    take(watch_->read(0));
    if (rulesChanged_) readRules();  // before the next change in a new source can go unseen
    watchReturnedSources();
    takeEnded();
    tellNotices();
    publishSchedule();
}

std::optional<AutoRunner::Time> AutoRunner::nextIntervalRun(const std::string& task) const {
    const std::lock_guard<std::mutex> hold(scheduleLock_);
    const auto found = intervalRuns_.find(task);
    if (found == intervalRuns_.end()) return std::nullopt;
    return found->second;
}

// The window shows when each task runs next: it hears when that changed.
void AutoRunner::publishSchedule() {
    std::map<std::string, Time> runs = scheduler_.intervalRuns();
    {
        const std::lock_guard<std::mutex> hold(scheduleLock_);
        if (runs == intervalRuns_) return;
        intervalRuns_.swap(runs);
    }
    if (options_.scheduleChanged) options_.scheduleChanged();
}

int AutoRunner::waitMs(int maxWaitMs) const {
    int wait = maxWaitMs < 0 ? kLongestWaitMs : maxWaitMs;
    if (const auto due = scheduler_.nextDue()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*due - now()).count();
        wait = static_cast<int>(std::clamp<decltype(left)>(left, 0, wait));
    }
    return wait;
}

void AutoRunner::stop() noexcept {
    stopping_.store(true);
    wake_->raise();
}

void AutoRunner::runEnded(const std::string& task, std::vector<std::string> ownChanges,
                          std::string problem, bool again) {
    {
        const std::lock_guard<std::mutex> hold(endedLock_);
        ended_.push_back({task, std::move(ownChanges), std::move(problem), again});
    }
    wake_->raise();
}

void AutoRunner::takeEnded() {
    std::vector<Ended> ended;
    {
        const std::lock_guard<std::mutex> hold(endedLock_);
        ended.swap(ended_);
    }
    for (const Ended& run : ended) {
        scheduler_.runFinished(run.task, now(), run.ownChanges, run.problem, run.again);
    }
}

// Reads which tasks take part and with what rule; only what changed is set again.
void AutoRunner::readRules() {
    rulesChanged_ = false;
    AutomaticRules read;
    try {
        read = readAutomaticRules(stateFolder_, options_.tasks);
    } catch (const std::exception& e) {
        tell({}, e.what());
        return;  // the rules as they were go on until the tree can be read
    }
    for (const AutoNotice& problem : read.problems) tell(problem.task, problem.text);

    std::vector<std::string> gone;
    for (const auto& [task, record] : rules_) {
        if (read.tasks.count(task) == 0) gone.push_back(task);
    }
    for (const std::string& task : gone) dropTask(task);
    // The history is read once, when the first task that runs at intervals needs its last run.
    std::optional<std::vector<HistoryEntry>> history;
    for (const auto& [task, record] : read.tasks) {
        const auto it = rules_.find(task);
        if (it != rules_.end() && it->second == record) continue;
        if (record.everyMinutes > 0 && !history) history = readHistory(stateFolder_);
        setTask(task, record, history ? lastRunOf(*history, task) : std::nullopt);
    }
    tellTasks();
}

// Which tasks take part, each time that changes: a service's log shows an edit taken in.
void AutoRunner::tellTasks() {
    std::string text;
    for (const auto& [task, record] : rules_) text.append(text.empty() ? "" : ", ").append(task);
    text = text.empty() ? "No task runs by itself" : "Tasks that run by themselves: " + text;
    if (text == listed_) return;
    listed_ = text;
    if (options_.notice) options_.notice({{}, text});
}

void AutoRunner::setTask(const std::string& task, const TaskRecord& record,
                         std::optional<Time> lastRun) {
    rules_[task] = record;
    scheduler_.setRule({task, record.watch, record.everyMinutes}, lastRun, now());
    if (!record.watch) {
        apply(watchSet_.removeTask(task));
        return;
    }
    if (!watchSource(task, record)) {
        scheduler_.cannotWatch(task, sourceRootOf(record.sourceFolder), "it cannot be listed",
                               now());
    }
}

// Walks the task's source for the folders to watch. False when its root is not among them.
bool AutoRunner::watchSource(const std::string& task, const TaskRecord& record) {
    const WalkRequest request = walkOf(record);
    apply(watchSet_.setTask(task, request));
    const auto watching = watchSet_.tasksWatching(request.sourceRoot);
    return std::find(watching.begin(), watching.end(), task) != watching.end();
}

// A source that went (a folder removed, a disk unmounted) is looked for again now and then;
// once it is back, what it holds may be new, so the task runs.
void AutoRunner::watchReturnedSources() {
    if (now() < nextSourceLook_) return;
    nextSourceLook_ = now() + kSourceLookEvery;
    for (const auto& [task, record] : rules_) {
        if (!record.watch) continue;
        const std::string root = sourceRootOf(record.sourceFolder);
        const auto watching = watchSet_.tasksWatching(root);
        if (std::find(watching.begin(), watching.end(), task) != watching.end()) continue;
        FolderId exists;
        if (folderIdentity(root, exists) && watchSource(task, record)) {
            scheduler_.changed(task, root, now());
        }
    }
}

void AutoRunner::dropTask(const std::string& task) {
    rules_.erase(task);
    scheduler_.removeRule(task);
    apply(watchSet_.removeTask(task));
}

void AutoRunner::apply(const WatchChanges& changes) {
    for (const std::string& folder : changes.unwatch) {
        if (folder != stateFolder_) watch_->remove(folder);
    }
    for (const std::string& folder : changes.watch) {
        const std::string problem = watch_->add(folder);
        if (problem.empty()) continue;
        for (const std::string& task : watchSet_.tasksWatching(folder)) {
            scheduler_.cannotWatch(task, folder, problem, now());
        }
    }
}

void AutoRunner::take(const std::vector<WatchEvent>& events) {
    const Time at = now();
    for (const WatchEvent& event : events) {
        switch (event.kind) {
            case WatchEventKind::Overflow:
                scheduler_.overflowed(at);
                // Folders may have come and gone unseen, and the task files changed: every
                // watch set is walked again, the rules read again.
                for (const auto& [task, record] : rules_) {
                    if (record.watch) apply(watchSet_.setTask(task, walkOf(record)));
                }
                rulesChanged_ = true;
                break;
            case WatchEventKind::FolderAdded:
                apply(watchSet_.folderAppeared(event.folder, event.name));
                [[fallthrough]];
            case WatchEventKind::EntryArrived:
            case WatchEventKind::EntryWritten:
                if (event.folder == stateFolder_ &&
                    (event.name == kSettingsFileName || event.name == kTreeFileName)) {
                    rulesChanged_ = true;
                }
                for (const std::string& task : watchSet_.tasksWatching(event.folder)) {
                    scheduler_.changed(task, event.folder + event.name, at);
                }
                break;
            case WatchEventKind::FolderGone:
                apply(watchSet_.folderGone(event.folder + event.name + "/"));
                break;
            case WatchEventKind::WatchLost:
                apply(watchSet_.folderGone(event.folder));
                break;
            case WatchEventKind::EntryGone:
                break;  // nothing left to run on
        }
    }
}

void AutoRunner::tell(const std::string& task, const std::string& text) {
    if (!told_.insert(task + '\t' + text).second) return;
    if (options_.notice) options_.notice({task, text});
}

void AutoRunner::tellNotices() {
    // The scheduler says each of its own once already.
    for (const AutoNotice& notice : scheduler_.takeNotices()) {
        if (options_.notice) options_.notice(notice);
    }
}

}  // namespace kestrune
