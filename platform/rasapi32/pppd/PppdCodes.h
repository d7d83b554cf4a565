#pragma once

// How pppd's progress lines read as dial-up states and its exit statuses as
// platform error codes. One table each; the README shows the same.

#include <string>
#include <vector>

#include "Ras.h"
#include "RasCodes.h"

namespace dravik::ras::pppd {

// The dial-up states a line pppd prints while it dials stands for, in
// order; none for a line that says nothing of the dial's progress.
std::vector<RASCONNSTATE> DialStatesOfLine(const std::string& ALine);

// Whether a line says that pppd was refused something for want of
// permission (an option only root may give, a file the user may not read).
bool IsPermissionLine(const std::string& ALine);

// The platform code for a pppd that exited with AStatus before it detached;
// ARefused tells that it printed a permission line.
DWORD CodeOfExitStatus(int AStatus, bool ARefused);

// The platform code for a pppd ended by the signal ASignal.
DWORD CodeOfSignal(int ASignal);

// The group whose members may run Debian's pppd.
constexpr const char* PppdGroup = "dip";

// What the user can do about ACode, in words; empty when nothing.
std::string AdviceOfCode(DWORD ACode);

}  // namespace dravik::ras::pppd
