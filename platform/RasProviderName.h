#pragma once

#include <string>

#include "Windows.h"

// The short name of the provider that serves the dial-up library in use
// ("sim" for the simulated service), as the library itself tells it; empty
// when no provider can serve, or for a library that does not tell (the real
// service, or none at all).
std::string RasProviderName();

// What the person who runs the line can do about a dial-up error code, in
// English, as the provider in use tells it (such as the permission a refused
// request needs); empty when it has nothing to add, or for a library that
// does not tell.
std::string RasErrorAdvice(DWORD AError);

// Empty when the provider in use was named (by DRAVIK_RAS_PROVIDER or
// ras.conf) or detected, or for a library that does not tell; else, when the
// library fell back to the simulated service because it found no real one,
// what it looked for, in words.
std::string RasProviderFallback();
