#pragma once

#include <string>

// The short name of the provider that serves the dial-up library in use
// ("sim" for the simulated service, "unusable" when none can serve), as the
// library itself tells it; empty for a library that does not tell (the real
// service, or none at all).
std::string RasProviderName();
