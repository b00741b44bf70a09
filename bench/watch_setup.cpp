// kestrune-watch-bench TREE [FILES]: what watching a whole tree costs.
//
// Sets up the watches for a task whose source is TREE (no depth limit) the way the window
// program does, through the watch set and the folder watch, and prints the time and the
// memory that took. Then drops FILES files (default 200) one at a time into folders spread
// over the tree and prints the time from each file's creation to its event, and the time a
// walk of the whole tree takes, which is what the run that follows the quiet time pays first.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/folder_watch.h"
#include "run/auto/watch_set.h"
#include "run/plan/folder_walk.h"

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The resident size of this process in KiB, from /proc/self/status.
long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return 0;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: kestrune-watch-bench TREE [FILES]\n");
        return 2;
    }
    std::string root = argv[1];
    if (root.back() != '/') root += '/';
    const int files = argc > 2 ? std::atoi(argv[2]) : 200;

    const long before = residentKiB();
    const auto setupStart = Clock::now();
    kestrune::WatchSet set;
    const auto changes = set.setTask("bench", {root, 0, {}});
    const double walkMs = millisecondsSince(setupStart);
    const auto watch = kestrune::makeFolderWatch();
    for (const auto& folder : changes.watch) {
        const std::string problem = watch->add(folder);
        if (!problem.empty()) {
            std::fprintf(stderr, "cannot watch %s: %s\n", folder.c_str(), problem.c_str());
            return 1;
        }
    }
    const double setupMs = millisecondsSince(setupStart);
    const long after = residentKiB();
    std::printf("folders watched: %zu\n", watch->size());
    std::printf(
        "setup time: %.1f ms (walk for the watch set %.1f ms, adding the watches %.1f ms)\n",
        setupMs, walkMs, setupMs - walkMs);
    std::printf("setup memory (this process, resident): %ld KiB\n", after - before);

    std::vector<double> latencies;
    for (int i = 0; i < files; ++i) {
        const std::string& folder =
            changes.watch[static_cast<std::size_t>(i) * 7919 % changes.watch.size()];
        const std::string name = "arrival-" + std::to_string(i) + ".txt";
        const auto start = Clock::now();
        std::ofstream(folder + name) << "x";
        for (bool seen = false; !seen;) {
            for (const auto& event : watch->read(1000)) {
                seen = seen ||
                       (event.kind == kestrune::WatchEventKind::EntryWritten && event.name == name);
            }
        }
        latencies.push_back(millisecondsSince(start));
        std::remove((folder + name).c_str());
        watch->read(0);
    }
    std::printf("arrival to event: median %.3f ms, worst %.3f ms (%d files)\n", median(latencies),
                *std::max_element(latencies.begin(), latencies.end()), files);

    std::vector<double> walks;
    for (int i = 0; i < 5; ++i) {
        const auto start = Clock::now();
        const auto walk = kestrune::walkAndSelect({root, 0, {}}, kestrune::FilterPieces("*.*"));
        walks.push_back(millisecondsSince(start));
    }
    std::printf("walk of the whole tree: median %.1f ms\n", median(walks));
    return 0;
}
