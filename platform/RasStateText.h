#pragma once

#include "Ras.h"

// The text of a connection state, as the components show it; the empty text
// for a state they do not know.
const char* RasStateText(RASCONNSTATE AState);
