#include "run/auto/automatic_rules.h"

#include <set>

#include "run/plan/run_planner.h"
#include "run/plan/task_record.h"
#include "store/program_files.h"
#include "store/settings_file.h"
#include "store/task_tree.h"

namespace kestrune {

namespace {

bool runsByItself(const TaskRecord& record) {
    return record.watch || record.everyMinutes > 0;
}

}  // namespace

AutomaticRules readAutomaticRules(const std::string& stateFolder,
                                  const std::vector<std::string>& named) {
    TaskTree tree;
    tree.LoadTreeIfPresent(treePath(stateFolder));
    std::set<std::string> nodes;
    for (const TreeNode* node : tree.allNodes()) nodes.insert(node->text);
    const std::vector<std::string> names =
        named.empty() ? std::vector<std::string>(nodes.begin(), nodes.end()) : named;

    const SettingsSnapshot settings = SettingsFile(settingsPath(stateFolder)).snapshot();
    AutomaticRules rules;
    for (const std::string& name : names) {
        const std::optional<TaskRecord> record =
            nodes.count(name) != 0 ? readTaskRecord(settings, name) : std::nullopt;
        if (!record || !runsByItself(*record)) {
            // A node without a record is a group; one without rules is run by hand.
            if (!named.empty()) {
                rules.problems.push_back(
                    {name, "Task \"" + name + "\" " +
                               (!record ? "is not a task of the tree"
                                        : "is set to run neither on changes nor at intervals")});
            }
            continue;
        }
        if (const std::string problem = recordProblem(*record); !problem.empty()) {
            rules.problems.push_back({name, cannotRunMessage(name, problem)});
            continue;
        }
        rules.tasks.emplace(name, *record);
    }
    return rules;
}

}  // namespace kestrune
