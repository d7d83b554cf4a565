#pragma once

#include <string>

// The folder named by the environment variable AName when it is set to an
// absolute path of sane length, without trailing slashes; false otherwise.
bool FolderFromEnvironment(const char* AName, std::string& AFolder);

// The user's configuration folder for Dravik, shared by the window's
// settings and the dial-up service's configuration: $XDG_CONFIG_HOME/dravik
// when that is an absolute path, else $HOME/.config/dravik; empty when
// neither can be told.
std::string UserConfigDirectory();
