#pragma once

#include "Ras.h"

// A short Chinese text (UTF-8) for a dial-up error code, as the main window
// shows it: one table for every code our dial-up providers produce and the
// common codes a phonebook entry may be set to fail with. A code the table
// does not know gives "未知错误".
const char* RasErrorText(DWORD AError);
