#pragma once

// Where the rotation service finds its configuration and keeps its state.

#include <string>

// systemd's ConfigurationDirectory, else /etc/dravik for root, else the
// user's configuration folder; the file dravikd.conf in it.
std::string DefaultServiceConfigFile();

// systemd's StateDirectory, else /var/lib/dravik for root, else
// $XDG_STATE_HOME/dravik (~/.local/state/dravik).
std::string ServiceStateDir();

// Creates the folder and its missing parents, the last one private (0700).
// Empty on success, else why not.
std::string MakePrivateDir(const std::string& APath);
