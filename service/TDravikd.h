#pragma once

// The rotation service as a program: reads its configuration, opens its
// history, listens for control requests, rotates, tells systemd, and on
// SIGTERM or SIGINT finishes the step in hand and ends with 0.

// Exit codes: 0 after a stop by signal, 2 wrong arguments, 78 a bad
// configuration, 79 an entry the phonebook does not list, 80 a history that
// cannot be used, 81 a control token that cannot be used (systemd restarts
// for none of these), 1 anything else that stops the start.
//
// SIGHUP: the configuration is read again; when it is good, the step in
// hand is finished and RunDravikd returns DravikdRestart, for the program
// to start itself anew. SIGUSR1 and SIGUSR2 are ignored.
int RunDravikd(int argc, char** argv);

constexpr int DravikdRestart = -1;
