#include "store/task_record.h"

#include "store/settings_file.h"

namespace kestrune {

std::optional<TaskRecord> readTaskRecord(const SettingsFile& settings, const std::string& name) {
    return readTaskRecord(settings.snapshot(), name);
}

std::optional<TaskRecord> readTaskRecord(const SettingsSnapshot& file, const std::string& name) {
    if (!file.sectionExists(name)) return std::nullopt;
    return recordOf(file, name);
}

TaskRecord recordOf(const SettingsSnapshot& file, const std::string& name) {
    TaskRecord record;
    record.sourceFolder = file.readString(name, keys::kSourceFolder, "");
    record.targetFolder = file.readString(name, keys::kTargetFolder, "");
    record.action = file.readInteger(name, keys::kAction, 0);
    record.depthCode = file.readInteger(name, keys::kDepth, 0);
    record.filters = file.readString(name, keys::kFilters, "");
    record.flat = file.readBool(name, keys::kFolderStructure, false);
    record.skipSame = file.readBool(name, keys::kSkipSame, false);
    record.watch = file.readBool(name, keys::kWatch, false);
    record.everyMinutes = file.readInteger(name, keys::kEvery, 0);
    record.names = file.readString(name, keys::kNames, "");
    record.exclude = file.readString(name, keys::kExclude, "");
    record.minSize = file.readString(name, keys::kMinSize, "");
    record.maxSize = file.readString(name, keys::kMaxSize, "");
    record.olderThan = file.readString(name, keys::kOlderThan, "");
    record.newerThan = file.readString(name, keys::kNewerThan, "");
    record.filesOnly = file.readBool(name, keys::kFilesOnly, false);
    record.subfolder = file.readString(name, keys::kSubfolder, "");
    record.rename = file.readString(name, keys::kRename, "");
    return record;
}

std::string valueOf(const TaskRecord& record, std::string_view key) {
    const auto flag = [](bool value) { return std::string(value ? "1" : "0"); };
    if (key == keys::kSourceFolder) return record.sourceFolder;
    if (key == keys::kTargetFolder) return record.targetFolder;
    if (key == keys::kAction) return std::to_string(record.action);
    if (key == keys::kDepth) return std::to_string(record.depthCode);
    if (key == keys::kFilters) return record.filters;
    if (key == keys::kFolderStructure) return flag(record.flat);
    if (key == keys::kSkipSame) return flag(record.skipSame);
    if (key == keys::kWatch) return flag(record.watch);
    if (key == keys::kEvery) return std::to_string(record.everyMinutes);
    if (key == keys::kNames) return record.names;
    if (key == keys::kExclude) return record.exclude;
    if (key == keys::kMinSize) return record.minSize;
    if (key == keys::kMaxSize) return record.maxSize;
    if (key == keys::kOlderThan) return record.olderThan;
    if (key == keys::kNewerThan) return record.newerThan;
    if (key == keys::kFilesOnly) return flag(record.filesOnly);
    if (key == keys::kSubfolder) return record.subfolder;
    if (key == keys::kRename) return record.rename;
    return {};
}

}  // namespace kestrune
