#pragma once

// dravikctl: the rotation service's command-line client. It finds the
// service's address and token through the same configuration file.

// Exit codes: 0 done, 1 the service refused or failed, 2 wrong arguments,
// 3 the service cannot be reached or refused the token.
int RunDravikctl(int argc, char** argv);
