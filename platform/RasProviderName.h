#pragma once

#include <string>

// The short name of the provider that serves the dial-up library in use
// ("sim" for the simulated service), as the library itself tells it; empty
// when no provider can serve, or for a library that does not tell (the real
// service, or none at all).
std::string RasProviderName();
