#include "run/service/task_description.h"

#include "run/plan/conditions.h"
#include "run/plan/path_rules.h"

namespace kestrune {

namespace {

std::string shownFolder(const std::string& folder, std::string_view homeFolder,
                        std::string_view unset) {
    if (folder.empty()) return std::string(unset);
    const std::string path = folder.size() > 1 ? withoutTrailingSlashes(folder) : folder;
    const std::string home = withoutTrailingSlashes(homeFolder);
    if (home.empty()) return path;
    if (path == home) return "~";
    if (path.size() > home.size() && path.compare(0, home.size(), home) == 0 &&
        path[home.size()] == '/') {
        return "~" + path.substr(home.size());
    }
    return path;
}

// The patterns as written, blanks around them dropped.
std::string patternList(std::string_view patterns, std::string_view separator) {
    std::string list;
    for (const std::string& raw : split(patterns, ';')) {
        const std::string_view piece = trimBlanks(raw);
        if (piece.empty()) continue;
        if (!list.empty()) list += separator;
        list += piece;
    }
    return list;
}

std::string whatFilters(std::string_view filters) {
    for (const std::string& raw : split(filters, ';')) {
        if (extensionPart(trimBlanks(raw)) == ".*") return "everything";
    }
    const std::string list = patternList(filters, ", ");
    return list.empty() ? "nothing (no filters)" : list;
}

// "500 MiB", "7 days": a number with a unit in words, as the value reads; quoted as written
// when it cannot be read.
std::string amount(const std::string& text, bool size) {
    std::string problem;
    const bool readable =
        size ? readSize(text, problem).has_value() : readAge(text, problem).has_value();
    if (!readable) return "\"" + text + "\"";
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    const std::string number = text.substr(0, digits);
    const std::string_view unit = trimBlanks(std::string_view(text).substr(digits));
    const bool one = number == "1";
    if (size) {
        if (unit.empty()) return number + (one ? " byte" : " bytes");
        return number + " " + static_cast<char>(unit.front() & ~0x20) + "iB";
    }
    switch (unit.front()) {
        case 'm':
            return number + (one ? " minute" : " minutes");
        case 'h':
        case 'H':
            return number + (one ? " hour" : " hours");
        case 'd':
        case 'D':
            return number + (one ? " day" : " days");
        default:
            return number + (one ? " week" : " weeks");
    }
}

// Two bounds as "at least A and at most B", either alone as "at least A".
std::string bounds(const std::string& low, const std::string& high, std::string_view lowWords,
                   std::string_view highWords, bool size) {
    std::string text;
    if (!low.empty()) text.append(lowWords).append(" ").append(amount(low, size));
    if (!high.empty()) {
        text.append(text.empty() ? "" : " and ").append(highWords).append(" ");
        text.append(amount(high, size));
    }
    return text;
}

std::string conditionWords(const TaskRecord& record) {
    std::string words;
    if (const std::string names = patternList(record.names, " or "); !names.empty()) {
        words += " named " + names;
    }
    if (const std::string exclude = patternList(record.exclude, ", "); !exclude.empty()) {
        words += " except " + exclude;
    }
    if (record.filesOnly) words += " (files only)";
    if (const std::string sizes =
            bounds(record.minSize, record.maxSize, "at least", "at most", true);
        !sizes.empty()) {
        words += " of " + sizes;
    }
    if (const std::string ages =
            bounds(record.olderThan, record.newerThan, "older than", "newer than", false);
        !ages.empty()) {
        words += " " + ages;
    }
    return words;
}

std::string depthWords(std::int32_t depthCode) {
    if (depthCode == 0) return " and all its subfolders";
    if (depthCode == 2) return " and 1 level of subfolders";
    if (depthCode > 2) return " and " + std::to_string(depthCode - 1) + " levels of subfolders";
    return {};
}

// Where a move or copy puts what it selects, beyond the target folder.
std::string placementWords(const TaskRecord& record) {
    std::string words;
    if (record.depthCode != 1) words += record.flat ? ", not keeping folders" : ", keeping folders";
    if (const std::string_view subfolder = trimBlanks(record.subfolder); !subfolder.empty()) {
        words += ", in subfolders " + std::string(subfolder);
    }
    if (const std::string_view rename = trimBlanks(record.rename); !rename.empty()) {
        words += ", renamed " + std::string(rename);
    }
    if (record.skipSame) words += ", skipping files already there with the same content";
    return words;
}

}  // namespace

std::string describeTask(const TaskRecord& record, std::string_view homeFolder) {
    const std::string what = whatFilters(record.filters) + conditionWords(record);
    const std::string source = shownFolder(record.sourceFolder, homeFolder, "(no source folder)") +
                               depthWords(record.depthCode);
    const std::string target = shownFolder(record.targetFolder, homeFolder, "(no target folder)");
    switch (record.action) {
        case 1:
            return "Moves " + what + " from " + source + " to " + target + placementWords(record);
        case 2:
            return "Copies " + what + " from " + source + " to " + target + placementWords(record);
        case 3:
            return "Deletes " + what + " in " + source + " for good";
        case 4:
            return "Moves " + what + " from " + source + " to the trash";
        default:
            return "Does nothing yet with " + what + " in " + source + ": no action is chosen";
    }
}

}  // namespace kestrune
