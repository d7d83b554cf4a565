#pragma once

// The rotation service as a program: reads its configuration, opens its
// history, listens for control requests, rotates, tells systemd, and on
// SIGTERM or SIGINT finishes the step in hand and ends with 0.

// Exit codes: 0 after a stop by signal, 2 wrong arguments, 78 a bad
// configuration (systemd does not restart for it), 1 anything else that
// stops the start.
int RunDravikd(int argc, char** argv);
