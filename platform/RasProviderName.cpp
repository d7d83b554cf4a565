#include "RasProviderName.h"

#include <cstring>

#include "Windows.h"

namespace {

using TDravikRasProviderName = DWORD(WINAPI*)(LPSTR, DWORD);

}  // namespace

std::string RasProviderName() {
  // Looked up at run time: the platform's own library has no such call.
  const HMODULE Library = LoadLibraryA("RASAPI32.DLL");
  if (Library == nullptr) return {};
  std::string Name;
  const auto Call =
      reinterpret_cast<TDravikRasProviderName>(GetProcAddress(Library, "DravikRasProviderName"));
  char Text[64] = {};
  if (Call != nullptr && Call(Text, sizeof Text) == ERROR_SUCCESS)
    Name.assign(Text, strnlen(Text, sizeof Text));
  FreeLibrary(Library);
  return Name;
}
