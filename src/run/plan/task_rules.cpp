#include "run/plan/task_rules.h"

#include "run/plan/path_rules.h"
#include "run/plan/task_record.h"

namespace kestrune {

namespace {

std::string keyProblem(std::string_view key, const std::string& problem) {
    return "its " + std::string(key) + " " + problem;
}

// Each condition of the record in turn; false, with the reason, at the first that cannot be
// read.
bool readConditions(const TaskRecord& record, Conditions& conditions, std::string& problem) {
    const auto size = [&](std::string_view key, const std::string& text,
                          std::optional<std::uint64_t>& value, std::string& shown) {
        if (text.empty()) return true;
        std::string why;
        value = readSize(text, why);
        shown = text;
        if (!value) problem = keyProblem(key, why);
        return value.has_value();
    };
    const auto age = [&](std::string_view key, const std::string& text,
                         std::optional<std::int64_t>& value, std::string& shown) {
        if (text.empty()) return true;
        std::string why;
        value = readAge(text, why);
        shown = text;
        if (!value) problem = keyProblem(key, why);
        return value.has_value();
    };
    if (!size(keys::kMinSize, record.minSize, conditions.minSize, conditions.minSizeText) ||
        !size(keys::kMaxSize, record.maxSize, conditions.maxSize, conditions.maxSizeText) ||
        !age(keys::kOlderThan, record.olderThan, conditions.olderThanNs,
             conditions.olderThanText) ||
        !age(keys::kNewerThan, record.newerThan, conditions.newerThanNs,
             conditions.newerThanText)) {
        return false;
    }
    // Both bounds that leave nothing between them are a slip, not a wish.
    if (conditions.minSize && conditions.maxSize && *conditions.minSize > *conditions.maxSize) {
        problem = "its minsize is larger than its maxsize: no file could be selected";
        return false;
    }
    if (conditions.olderThanNs && conditions.newerThanNs &&
        *conditions.olderThanNs >= *conditions.newerThanNs) {
        problem = "its olderthan is not shorter than its newerthan: nothing could be selected";
        return false;
    }
    conditions.names = NamePatterns(record.names);
    conditions.exclude = NamePatterns(record.exclude);
    conditions.filesOnly = record.filesOnly;
    return true;
}

bool anyCondition(const Conditions& conditions) {
    return !conditions.names.empty() || !conditions.exclude.empty() || conditions.needsIdentity() ||
           conditions.filesOnly;
}

}  // namespace

ReadRules readRules(const TaskRecord& record) {
    ReadRules read;
    TaskRules& rules = read.rules;
    if (!readConditions(record, rules.conditions, read.problem)) return read;
    rules.hasConditions = anyCondition(rules.conditions);
    if (!placesEntries(record.action)) return read;
    std::string why;
    if (!rules.subfolder.read(record.subfolder, why)) {
        read.problem = keyProblem(keys::kSubfolder, why);
    } else if (!rules.rename.read(record.rename, why)) {
        read.problem = keyProblem(keys::kRename, why);
    }
    return read;
}

std::string valueProblem(std::string_view key, std::string_view value) {
    const std::string text(trimBlanks(value));
    if (text.empty()) return {};
    std::string problem;
    if (key == keys::kMinSize || key == keys::kMaxSize) {
        readSize(text, problem);
    } else if (key == keys::kOlderThan || key == keys::kNewerThan) {
        readAge(text, problem);
    } else if (key == keys::kSubfolder) {
        SubfolderTemplate().read(text, problem);
    } else if (key == keys::kRename) {
        RenameTemplate().read(text, problem);
    }
    return problem;
}

std::string plainTarget(const TaskRecord& record, const TaskRules& rules,
                        std::string_view relativePath, std::int64_t modifiedNs) {
    while (!relativePath.empty() && relativePath.front() == '/') relativePath.remove_prefix(1);
    const std::string name(relativePath.substr(folderPart(relativePath).size()));
    const TemplateEntry entry{name, modifiedNs};
    std::string target = withoutTrailingSlashes(record.targetFolder) + "/";
    if (!record.flat) target += folderPart(relativePath);
    return target + rules.subfolder.filled(entry) + rules.rename.filled(entry);
}

}  // namespace kestrune
