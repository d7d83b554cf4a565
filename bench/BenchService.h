#pragma once

// A simulated dial-up service folder of the benchmark's own, so that the
// figures neither depend on nor touch the user's connections.

// Creates the folder with a phonebook of one entry, "Broadband", that
// connects at once, and points the dial-up library at it. Must run before
// the program's first dial-up call; false when the folder cannot be made.
bool OpenBenchService();

// Hangs up every listed connection; how many were listed, -1 when the
// listing failed.
int HangUpAll();

// Hangs up everything and removes the folder.
void CloseBenchService();
