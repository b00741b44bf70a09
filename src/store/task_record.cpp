#include "store/task_record.h"

#include "store/settings_file.h"

namespace kestrune {

std::optional<TaskRecord> readTaskRecord(const SettingsFile& settings, const std::string& name) {
    const SettingsSnapshot file = settings.snapshot();
    if (!file.sectionExists(name)) return std::nullopt;
    return readTaskRecord(file, name);
}

TaskRecord readTaskRecord(const SettingsSnapshot& file, const std::string& name) {
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
    return record;
}

}  // namespace kestrune
