#pragma once

#include <string>

#include "ExecutablePath.h"

// The directory part of an executable's path: everything up to and including
// the last "/" (empty when there is none).
std::string ExecutableDirectory(const std::string& AExePath);

// The settings file's name (no directory) for an executable's path: the file
// name after the last "/", every ASCII capital turned into its small letter,
// the last three bytes dropped and "ini" appended. "Cycler.EXE" gives
// "cycler.ini", "dravik.bin" "dravik.ini", "tool" "tini".
std::string IniFileNameFor(const std::string& AExePath);

// Where the settings file of the executable at AExePath lives: beside the
// executable when a writable file of that name is there or the executable's
// folder is writable; otherwise (a program installed where the user cannot
// write) in $XDG_CONFIG_HOME/dravik/ (by default ~/.config/dravik/) under
// the same name.
std::string SettingsFilePathFor(const std::string& AExePath);
