#pragma once

// The [fleet] section of dravikd.conf: where the fleet's Redis is, this
// node's name in it, and how many nodes may be offline at once. Without the
// section the service knows only itself.

#include <string>

struct TFleetConfig {
  bool Enabled = false;  // the file has a [fleet] section
  // redis = redis://[USER@]HOST[:PORT][/DB] or unix:///PATH
  std::string Redis;
  std::string Host;
  int Port = 6379;
  std::string Socket;  // a Unix socket's path; then Host is empty
  std::string User;
  int Database = 0;
  std::string PasswordFile;
  std::string Password;  // read from PasswordFile when the configuration is loaded
  std::string Node;      // empty: the host name
  std::string Prefix = "dravik";
  // Published with each address; {address} stands for it.
  std::string Proxy = "{address}";
  int MaxOffline = 0;  // 0: no limit
  int DrainSeconds = 0;
};

// Reads one key of the section into AConfig; empty on success, else what is
// wrong with the value. An unknown key says so.
std::string ReadFleetKey(const std::string& AKey, const std::string& AValue, TFleetConfig& AConfig);

// Checks the section as a whole once read and reads the password file; empty
// when fine, else the problem, with AKey set to the key it concerns.
std::string FinishFleetConfig(TFleetConfig& AConfig, std::string& AKey);

// A node's or prefix's name as Redis keys carry it: letters, digits, ".",
// "_" and "-", 1 to 64 of them.
bool IsFleetName(const std::string& AText);

// The host name, cut to a fleet name's form (empty when none fits).
std::string DefaultNodeName();
