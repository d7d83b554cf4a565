#include "RasProviderName.h"

#include <cstring>

#include "Windows.h"

namespace {

using TDravikRasProviderInfo = DWORD(WINAPI*)(LPSTR, DWORD);

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
