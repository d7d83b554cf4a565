#pragma once

#include <string>

#include "Ras.h"

// Short texts for the dial-up error codes: one table for every code our
// dial-up providers produce and the common codes a phonebook entry may be set
// to fail with, each in Chinese (UTF-8, as the main window shows it) and in
// English (for the tools and the service's log).

// The Chinese text; a code the table does not know gives "未知错误".
const char* RasErrorText(DWORD AError);

// The English text; a code the table does not know gives
// "the dial-up service reported an error".
const char* RasErrorTextEnglish(DWORD AError);

// Whether the table has a text of its own for the code.
bool RasErrorTextKnown(DWORD AError);

// "error 691: the user name or password was not accepted", the code's
// English text after its number, with the provider's advice (what the person
// can do about it, see RasErrorAdvice) after a semicolon when there is any.
std::string RasErrorDescription(DWORD AError);
