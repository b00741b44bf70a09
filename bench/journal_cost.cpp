// kestrune-journal-bench TREE SCRATCH [REPS]: what the run journal costs. Copies TREE, and
// moves a copy of it within one file system, once without a journal (the executor alone)
// and once journaled as kestrune-cli runs it, taking turns, and prints the medians.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "run/execute/plan_executor.h"
#include "run/history/journaled_run.h"
#include "run/history/run_history.h"
#include "run/plan/run_planner.h"

namespace fs = std::filesystem;
using namespace kestrune;

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Plans and carries out one task; the seconds it took, planning included.
double timedRun(const std::string& source, const std::string& target, int action,
                const std::string& state) {
    ::sync();
    const auto begin = std::chrono::steady_clock::now();
    const RunPlan plan = planRecord({source, target, action, 0, "*.*", false}, "Bench");
    const RunTotals totals = state.empty()
                                 ? executePlan(plan)
                                 : runJournaled(plan, state, {}, kDefaultHistorySize).totals;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    if (totals.failed > 0 || !totals.error.empty()) {
        std::fprintf(stderr, "the run failed: %s\n", totals.error.c_str());
        std::exit(1);
    }
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: kestrune-journal-bench TREE SCRATCH [REPS]\n");
        return 2;
    }
    const std::string tree = argv[1];
    const std::string scratch = argv[2];
    const int reps = argc > 3 ? std::atoi(argv[3]) : 5;
    const std::string state = scratch + "/state/";
    const std::string work = scratch + "/work";
    fs::create_directories(scratch);
    fs::remove_all(work);
    fs::copy(tree, work, fs::copy_options::recursive);

    std::vector<double> copy[2], move[2];
    for (int rep = 0; rep < reps; ++rep) {
        for (int turn = 0; turn < 2; ++turn) {
            const int journaled = (rep + turn) % 2;
            const std::string target = scratch + "/out";
            copy[journaled].push_back(timedRun(tree, target, 2, journaled ? state : ""));
            fs::remove_all(target);
            move[journaled].push_back(timedRun(work, target, 1, journaled ? state : ""));
            fs::remove_all(work);  // what the move left: the emptied source root
            fs::rename(target, work);
        }
    }
    std::uintmax_t journalBytes = 0;
    for (const auto& entry : fs::directory_iterator(state + "history")) {
        journalBytes = std::max(journalBytes, entry.file_size());
    }
    std::printf("copy: %.3f s plain, %.3f s journaled (%.1f %%)\n", median(copy[0]),
                median(copy[1]), 100.0 * (median(copy[1]) / median(copy[0]) - 1));
    std::printf("move: %.3f s plain, %.3f s journaled (%.1f %%)\n", median(move[0]),
                median(move[1]), 100.0 * (median(move[1]) / median(move[0]) - 1));
    std::printf("journal of one run: %ju bytes\n", journalBytes);
    fs::remove_all(scratch);
    return 0;
}
