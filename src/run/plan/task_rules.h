#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "run/plan/conditions.h"
#include "run/plan/name_template.h"
#include "store/task_record.h"

namespace kestrune {

// A record's conditions and templates, read once for a run.
struct TaskRules {
    Conditions conditions;
    bool hasConditions = false;  // some condition is set
    // Move and copy only; empty for the other actions.
    SubfolderTemplate subfolder;
    RenameTemplate rename;

    // Whether placing an entry asks for its modification time.
    bool placesByTime() const { return subfolder.usesTime() || rename.usesTime(); }
};

struct ReadRules {
    TaskRules rules;
    std::string problem;  // why a value cannot be read; the rules are not to be used then
};

// The record's conditions and templates; a template only for an action that places entries.
ReadRules readRules(const TaskRecord& record);

// Why that value cannot be the value of that key, or "" when it can (and for the keys that
// are neither condition nor template): the editor's check of one field.
std::string valueProblem(std::string_view key, std::string_view value);

// The path an entry at `relativePath` below the source ("Notes/a.txt"), modified at
// `modifiedNs`, is placed at when its name is free: the target folder, the kept folders
// unless flat, the subfolder template's folders, the new name. The "Example:" of the editor
// and the target column of its live list.
std::string plainTarget(const TaskRecord& record, const TaskRules& rules,
                        std::string_view relativePath, std::int64_t modifiedNs);

}  // namespace kestrune
