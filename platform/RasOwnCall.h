#pragma once

#include "Windows.h"

// Calls one of our dial-up library's own calls, looked up at run time (the
// platform's own library has none of them): AAsk gets the call and says
// whether it answered. False when the library or the call is missing.
template <typename TCall, typename TAsk>
bool CallRasOwn(const char* AName, TAsk AAsk) {
  const HMODULE Library = LoadLibraryA("RASAPI32.DLL");
  if (Library == nullptr) return false;
  const auto Call = reinterpret_cast<TCall>(GetProcAddress(Library, AName));
  const bool Answered = Call != nullptr && AAsk(Call);
  FreeLibrary(Library);
  return Answered;
}
