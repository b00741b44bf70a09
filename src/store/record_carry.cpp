#include "store/record_carry.h"

#include <array>

#include "store/settings_file.h"

namespace kestrune {

namespace {

constexpr std::array<const char*, 6> kRecordKeys = {"s_folder", "t_folder", "actions",
                                                    "sublevel", "filters",  "folderstruct"};
// No stored value can hold a line break, so this stands for "key absent".
constexpr const char* kAbsent = "\n";

}  // namespace

void carryRecord(SettingsFile& settings, const std::string& from, const std::string& to) {
    if (!settings.sectionExists(from)) return;
    for (const char* key : kRecordKeys) {
        const std::string value = settings.readString(from, key, kAbsent);
        if (value != kAbsent) settings.writeString(to, key, value);
    }
}

}  // namespace kestrune
