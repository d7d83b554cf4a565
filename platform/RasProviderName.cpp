#include "RasProviderName.h"

#include <cstring>

#include "Windows.h"

namespace {

using TDravikRasProviderInfo = DWORD(WINAPI*)(LPSTR, DWORD);
using TDravikRasErrorAdvice = DWORD(WINAPI*)(DWORD, LPSTR, DWORD);
using TDravikRasProviderChoice = DWORD(WINAPI*)(LPDWORD, LPSTR, DWORD);
// What DravikRasProviderChoice answers for the simulated service taken as
// the fallback.
constexpr DWORD ChosenAsFallback = 3;

}  // namespace

std::string RasProviderName() {
  // Looked up at run time: the platform's own library has no such call. A
  // library that no provider can serve answers with why, not a name.
  const HMODULE Library = LoadLibraryA("RASAPI32.DLL");
  if (Library == nullptr) return {};
  std::string Name;
  const auto Call =
      reinterpret_cast<TDravikRasProviderInfo>(GetProcAddress(Library, "DravikRasProviderInfo"));
  char Text[64] = {};
  if (Call != nullptr && Call(Text, sizeof Text) == ERROR_SUCCESS)
    Name.assign(Text, strnlen(Text, sizeof Text));
  FreeLibrary(Library);
  return Name;
}

std::string RasErrorAdvice(DWORD AError) {
  const HMODULE Library = LoadLibraryA("RASAPI32.DLL");
  if (Library == nullptr) return {};
  std::string Advice;
  const auto Call =
      reinterpret_cast<TDravikRasErrorAdvice>(GetProcAddress(Library, "DravikRasErrorAdvice"));
  char Text[512] = {};
  if (Call != nullptr && Call(AError, Text, sizeof Text) == ERROR_SUCCESS)
    Advice.assign(Text, strnlen(Text, sizeof Text));
  FreeLibrary(Library);
  return Advice;
}

std::string RasProviderFallback() {
  const HMODULE Library = LoadLibraryA("RASAPI32.DLL");
  if (Library == nullptr) return {};
  std::string LookedFor;
  const auto Call = reinterpret_cast<TDravikRasProviderChoice>(
      GetProcAddress(Library, "DravikRasProviderChoice"));
  DWORD How = 0;
  char Text[512] = {};
  if (Call != nullptr && Call(&How, Text, sizeof Text) == ERROR_SUCCESS && How == ChosenAsFallback)
    LookedFor.assign(Text, strnlen(Text, sizeof Text));
  FreeLibrary(Library);
  return LookedFor;
}
