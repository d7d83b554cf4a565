#pragma once

#include <string>

// The running program's executable file, as a full path; empty when the
// system cannot tell.
std::string ExecutablePath();
