#pragma once

#include <string>

namespace kestrune {

inline constexpr const char* kSettingsFileName = "Setting.cfg";
inline constexpr const char* kTreeFileName = "kestrune.dll";
inline constexpr const char* kHelpFileName = "kestrune.chm";

// folder ends with "/".
inline std::string settingsPath(const std::string& folder) { return folder + kSettingsFileName; }
inline std::string treePath(const std::string& folder) { return folder + kTreeFileName; }
inline std::string helpPath(const std::string& folder) { return folder + kHelpFileName; }

}  // namespace kestrune
