#include "run/auto/auto_scheduler.h"

#include <algorithm>

#include "run/plan/path_rules.h"

namespace kestrune {

namespace {

std::optional<AutoScheduler::Time> earlier(std::optional<AutoScheduler::Time> a,
                                           std::optional<AutoScheduler::Time> b) {
    if (!a) return b;
    if (!b) return a;
    return std::min(*a, *b);
}

}  // namespace

void AutoScheduler::setRule(const AutoRule& rule, std::optional<Time> lastRun, Time now) {
    const auto known = tasks_.find(rule.task);
    const bool watchedBefore = known != tasks_.end() && known->second.rule.watch;
    TaskState& state = tasks_[rule.task];
    state.rule = rule;
    // What arrived while nobody watched (automatic runs paused, the program not running, the
    // task just set to watch) is taken in by one full run shortly.
    if (rule.watch && !watchedBefore) {
        state.fullRun = true;
        state.firstChange = now;
        state.changesDue = now + timing_.afterStart;
    }
    if (!rule.watch) {
        state.changesDue.reset();
        state.firstChange.reset();
        state.fullRun = false;
    }
    state.intervalDue.reset();
    if (rule.everyMinutes <= 0) return;
    const auto every = std::chrono::minutes(rule.everyMinutes);
    // A clock set back since the last run must not put the next run off by as much.
    if (lastRun && *lastRun + every > now && *lastRun <= now) {
        state.intervalDue = *lastRun + every;
    } else {
        state.intervalDue = now + timing_.afterStart;
    }
}

void AutoScheduler::removeRule(const std::string& task) {
    tasks_.erase(task);
}

void AutoScheduler::changed(const std::string& task, const std::string& path, Time now) {
    const auto it = tasks_.find(task);
    if (it == tasks_.end() || !it->second.rule.watch) return;
    TaskState& state = it->second;
    const std::string entry = withoutTrailingSlashes(path);
    if (state.running) {
        state.duringRun.insert(entry);
        return;
    }
    if (now < state.ownUntil && state.ownChanges.count(entry) != 0) return;
    gather(state, now);
}

void AutoScheduler::overflowed(Time now) {
    if (!overflowReported_) {
        overflowReported_ = true;
        notices_.push_back({{},
                            "Some changes in watched folders were missed; "
                            "the watching tasks run once in full"});
    }
    for (auto& [task, state] : tasks_) {
        if (!state.rule.watch) continue;
        state.fullRun = true;
        gather(state, now);
    }
}

void AutoScheduler::cannotWatch(const std::string& task, const std::string& folder,
                                const std::string& reason, Time now) {
    const auto it = tasks_.find(task);
    if (it == tasks_.end() || !it->second.rule.watch) return;
    TaskState& state = it->second;
    if (state.unwatchedReported.insert(folder).second) {
        notices_.push_back({task, "Cannot watch " + folder + ": " + reason +
                                      "; changes there are seen only by a full run"});
    }
    state.fullRun = true;
    gather(state, now);
}

std::vector<DueRun> AutoScheduler::takeDue(Time now) {
    std::vector<DueRun> due;
    for (auto& [task, state] : tasks_) {
        if (state.running) continue;
        const bool changes = state.changesDue && *state.changesDue <= now;
        const bool interval = state.intervalDue && *state.intervalDue <= now;
        if (!changes && !interval) continue;
        AutoReason reason = AutoReason::Interval;
        if (changes) reason = state.fullRun ? AutoReason::FullRun : AutoReason::Changes;
        due.push_back({task, reason});
        // The run walks the whole source, so it takes in every change gathered so far.
        state.changesDue.reset();
        state.firstChange.reset();
        state.fullRun = false;
        if (interval) {
            const auto every = std::chrono::minutes(state.rule.everyMinutes);
            state.intervalDue = *state.intervalDue + every;
            // After a sleep of the machine: one run for all the missed ones.
            if (*state.intervalDue <= now) state.intervalDue = now + every;
        }
        state.running = true;
    }
    return due;
}

void AutoScheduler::runFinished(const std::string& task, Time now,
                                const std::vector<std::string>& ownChanges,
                                const std::string& problem, bool again) {
    const auto it = tasks_.find(task);
    if (it == tasks_.end()) return;
    TaskState& state = it->second;
    state.running = false;
    state.ownChanges.clear();
    for (const auto& path : ownChanges) state.ownChanges.insert(withoutTrailingSlashes(path));
    // The run's own events may still wait in the queue when it ends.
    state.ownUntil = now + timing_.quiet;
    const bool others =
        std::any_of(state.duringRun.begin(), state.duringRun.end(),
                    [&](const std::string& path) { return state.ownChanges.count(path) == 0; });
    state.duringRun.clear();
    if (others) gather(state, now);
    // A run that did not do its work (stopped, or its task run elsewhere) keeps what called
    // for it: the task runs again, a while later.
    if (again) {
        state.fullRun = state.fullRun || state.rule.watch;
        if (state.rule.watch) state.changesDue = earlier(state.changesDue, now + timing_.longest);
        if (state.rule.everyMinutes > 0) {
            state.intervalDue = earlier(state.intervalDue, now + timing_.longest);
        }
    }
    if (problem.empty()) {
        state.reported.clear();
    } else if (problem != state.reported) {
        state.reported = problem;
        notices_.push_back({task, problem});
    }
}

std::optional<AutoScheduler::Time> AutoScheduler::nextDue() const {
    std::optional<Time> next;
    for (const auto& [task, state] : tasks_) {
        if (!state.running) next = earlier(next, dueOf(state));
    }
    return next;
}

std::map<std::string, AutoScheduler::Time> AutoScheduler::intervalRuns() const {
    std::map<std::string, Time> runs;
    for (const auto& [task, state] : tasks_) {
        if (state.intervalDue) runs.emplace(task, *state.intervalDue);
    }
    return runs;
}

std::vector<AutoNotice> AutoScheduler::takeNotices() {
    std::vector<AutoNotice> taken;
    taken.swap(notices_);
    return taken;
}

// Waits for a calm after the latest change, but not longer than `longest` after the first.
void AutoScheduler::gather(TaskState& state, Time now) {
    if (!state.firstChange) state.firstChange = now;
    state.changesDue = std::min(now + timing_.quiet, *state.firstChange + timing_.longest);
}

std::optional<AutoScheduler::Time> AutoScheduler::dueOf(const TaskState& state) const {
    return earlier(state.changesDue, state.intervalDue);
}

}  // namespace kestrune
