#pragma once

// Where the rotation service finds its configuration and keeps its state.

#include <string>

// systemd's ConfigurationDirectory, else /etc/dravik for root, else the
// user's configuration folder; the file dravikd.conf in it.
std::string DefaultServiceConfigFile();

// systemd's StateDirectory, else /var/lib/dravik for root, else
// $XDG_STATE_HOME/dravik (~/.local/state/dravik).
std::string ServiceStateDir();

// Where the service that reads AConfigFile keeps its history and token, so
// that dravikctl with the same file finds them as well as dravikd: the
// state-dir key; else systemd's StateDirectory; else for root
// /var/lib/dravik/NAME for /etc/dravik/NAME.conf (the template unit
// dravikd@NAME) and /var/lib/dravik for any other file; else the user's
// $XDG_STATE_HOME/dravik (~/.local/state/dravik).
std::string ServiceStateDirFor(const std::string& AConfigFile, const std::string& AStateDirKey);

// The token file of that service: the token-file key, else "token" in its
// state folder.
std::string ServiceTokenFileFor(const std::string& AConfigFile, const std::string& AStateDirKey,
                                const std::string& ATokenFileKey);

// Creates the folder and its missing parents, the last one private (0700).
// Empty on success, else why not.
std::string MakePrivateDir(const std::string& APath);
