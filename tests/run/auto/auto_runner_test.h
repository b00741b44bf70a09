#pragma once

// A task run by itself, driven turn by turn on a test clock.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "run/auto/auto_runner.h"
#include "run/service/run_service.h"
#include "support/scratch_dir.h"

namespace kestrune::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Time = AutoRunner::Time;

// A file that arrives finished, as a completed download does: dated an hour back, so an
// automatic run does not wait for it to settle.
inline void arrive(const std::string& path, const std::string& content) {
    makeFile(path, content);
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(1));
}

// A watch that reports what the test hands it, for what the system will not do on request.
class HandedWatch final : public FolderWatch {
  public:
    std::string add(const std::string& folder) override {
        folders.insert(folder);
        return {};
    }
    void remove(const std::string& folder) override { folders.erase(folder); }
    std::size_t size() const override { return folders.size(); }
    int descriptor() const override { return -1; }
    std::vector<WatchEvent> read(int /*timeoutMs*/) override { return std::move(events); }

    std::set<std::string> folders;
    std::vector<WatchEvent> events;
};

// A task "Tidy" moving Inbox's *.txt to Sorted, driven turn by turn on a test clock; each
// due run is carried out at once, as kestrune-cli does.
class AutoRunnerTest : public ScratchTest {
  protected:
    std::string inbox() const { return scratch.file("Inbox"); }
    std::string sorted() const { return scratch.file("Sorted"); }

    void writeTask(const std::string& rules, int action = 1) const {
        fs::create_directories(inbox());
        writeFile(scratch.file("kestrune.dll"), "Tidy\r\n");
        writeFile(scratch.file("Setting.cfg"),
                  "[Tidy]\ns_folder=" + inbox() + "\nt_folder=" + sorted() +
                      "\nactions=" + std::to_string(action) + "\nfilters=*.txt\n" + rules);
    }
    void start(std::unique_ptr<FolderWatch> watch = nullptr) {
        AutoRunnerOptions options;
        options.timing = AutoTiming{2s, 60s, 10s};
        options.clock = [this] { return clock; };
        options.watch = std::move(watch);
        options.notice = [this](const AutoNotice& notice) { notices.push_back(notice.text); };
        options.scheduleChanged = [this] { ++scheduleChanges; };
        runner = std::make_unique<AutoRunner>(
            scratch.folder(),
            [this](const DueRun& due) {
                reasons.push_back(due.reason);
                const RunSummary summary = RunService(scratch.folder()).runAutomatically(due.task);
                runner->runEnded(due.task, summary.ownChanges, summary.error,
                                 summary.runningElsewhere);
            },
            std::move(options));
    }
    // Moves the clock on and takes a turn that waits a moment for the system's events.
    void at(std::chrono::milliseconds since, int waitMs = 0) {
        clock = kStart + since;
        runner->turn(waitMs);
    }

    static constexpr Time kStart = Time{} + 490000h;
    Time clock = kStart;
    std::unique_ptr<AutoRunner> runner;
    std::vector<AutoReason> reasons;
    std::vector<std::string> notices;
    int scheduleChanges = 0;
};

}  // namespace kestrune::test
