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
