#pragma once

// dravikctl: the rotation service's command-line client. It finds the
// service's address and token through the same configuration file.

// Exit codes: 0 done, 1 the service refused or the rotation failed, 2 wrong
// arguments, 3 the service cannot be reached or refused the token, 4 rotate
// --wait saw no new address in time.
int RunDravikctl(int argc, char** argv);
