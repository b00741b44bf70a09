#pragma once

#include <string>

namespace kestrune {

// Starting the program when the user logs in: the desktop's autostart entry
// ($XDG_CONFIG_HOME/autostart/kestrune.desktop, by default under ~/.config).
std::string loginStartPath();
bool startsAtLogin();

// The entry's text: starts executable hidden in the notification area.
std::string loginStartEntry(const std::string& executable);

// Writes the entry for executable (making its folder), or removes it. Returns the system's
// error text, empty on success; a missing entry is no error when removing.
std::string setStartAtLogin(bool on, const std::string& executable);

}  // namespace kestrune
