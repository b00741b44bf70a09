#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrune {

class SettingsFile;
class SettingsSnapshot;

// The key names of a task's section in Setting.cfg.
namespace keys {
inline constexpr std::string_view kSourceFolder = "s_folder";
inline constexpr std::string_view kTargetFolder = "t_folder";
inline constexpr std::string_view kAction = "actions";
inline constexpr std::string_view kDepth = "sublevel";
inline constexpr std::string_view kFilters = "filters";
inline constexpr std::string_view kFolderStructure = "folderstruct";
inline constexpr std::string_view kSkipSame = "skipsame";
inline constexpr std::string_view kWatch = "watch";
inline constexpr std::string_view kEvery = "every";
// The conditions beside the filters, and the templates of placement.
inline constexpr std::string_view kNames = "names";
inline constexpr std::string_view kExclude = "exclude";
inline constexpr std::string_view kMinSize = "minsize";
inline constexpr std::string_view kMaxSize = "maxsize";
inline constexpr std::string_view kOlderThan = "olderthan";
inline constexpr std::string_view kNewerThan = "newerthan";
inline constexpr std::string_view kFilesOnly = "filesonly";
inline constexpr std::string_view kSubfolder = "subfolder";
inline constexpr std::string_view kRename = "rename";

// Every key of a task's record, in the one order they are shown in: the first six as they
// always were, then what selects, what places, and when the task runs by itself.
inline constexpr std::array<std::string_view, 18> kTaskKeys = {
    kSourceFolder, kTargetFolder, kAction,  kDepth,    kFilters,   kFolderStructure,
    kNames,        kExclude,      kMinSize, kMaxSize,  kOlderThan, kNewerThan,
    kFilesOnly,    kSubfolder,    kRename,  kSkipSame, kWatch,     kEvery};
}  // namespace keys

// The program's own section and its keys beside the window position.
namespace keys {
inline constexpr std::string_view kSettingsSection = "Settings";
inline constexpr std::string_view kHistorySize = "historysize";  // runs whose journals are kept
inline constexpr std::string_view kAutomatic = "auto";           // automatic runs on (absent: on)
inline constexpr std::string_view kLeft = "frmx";                // the main window's position
inline constexpr std::string_view kTop = "frmy";
// The sizes the user gave the task editor and the windows of runs.
inline constexpr std::string_view kEditorWidth = "editorw";
inline constexpr std::string_view kEditorHeight = "editorh";
inline constexpr std::string_view kPreviewWidth = "previeww";
inline constexpr std::string_view kPreviewHeight = "previewh";
inline constexpr std::string_view kReportWidth = "reportw";
inline constexpr std::string_view kReportHeight = "reporth";
inline constexpr std::string_view kHistoryWidth = "historyw";
inline constexpr std::string_view kHistoryHeight = "historyh";
}  // namespace keys

// A task's section in Setting.cfg, as a run reads it.
struct TaskRecord {
    std::string sourceFolder;    // s_folder
    std::string targetFolder;    // t_folder
    std::int32_t action = 0;     // actions: 1 move, 2 copy, 3 delete
    std::int32_t depthCode = 0;  // sublevel: 0 no limit
    std::string filters;         // filters: pieces separated by ";"
    bool flat = false;           // folderstruct: true places every entry straight into t_folder
    // Absent keys keep every stored record running as it always did.
    bool skipSame = false;          // skipsame: leave an entry whose target holds the same content
    bool watch = false;             // watch: run when entries appear or change in the source
    std::int32_t everyMinutes = 0;  // every: run at this interval; 0 never
    // The conditions and templates as written; what they mean, and whether they can be read,
    // is the run's to say (run/plan/task_rules.h). Empty: not set.
    std::string names{};      // names
    std::string exclude{};    // exclude
    std::string minSize{};    // minsize
    std::string maxSize{};    // maxsize
    std::string olderThan{};  // olderthan
    std::string newerThan{};  // newerthan
    bool filesOnly = false;   // filesonly
    std::string subfolder{};  // subfolder
    std::string rename{};     // rename

    bool operator==(const TaskRecord&) const = default;
};

// Every key from one reading of the file, so a record being saved meanwhile is seen whole,
// old or new. nullopt when the settings file holds no record of that name.
std::optional<TaskRecord> readTaskRecord(const SettingsFile& settings, const std::string& name);
// The record as that reading found it: reading many records, take one snapshot for all.
std::optional<TaskRecord> readTaskRecord(const SettingsSnapshot& file, const std::string& name);
// The record of that name in a reading of the file, also where there is none: each key as a
// run reads it, its default where the key is missing or holds no number.
TaskRecord recordOf(const SettingsSnapshot& file, const std::string& name);

// The value of one of keys::kTaskKeys as the record holds it, in the form a record is
// written in: numbers in decimal, booleans 0 or 1.
std::string valueOf(const TaskRecord& record, std::string_view key);

}  // namespace kestrune
