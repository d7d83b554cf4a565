// Run-time loading of libraries under the platform's names. A DLL name
// ("RASAPI32.DLL") stands for lib<name in lower case>.so, looked up beside
// the executable first, as the platform looks in the program's folder first,
// then along the normal library path. Opening a file that the program has
// already linked gives that same copy, so both share one state.

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <string>
#include <string_view>

#include "ExecutablePath.h"
#include "SameText.h"
#include "Windows.h"

namespace {

// The shared-object name for a DLL name; names that are no DLL name are
// taken as they are.
std::string SharedObjectName(const std::string& AName) {
  const size_t Length = AName.size();
  if (Length <= 4 || AName.find('/') != std::string::npos) return AName;
  if (!SameText(std::string_view(AName).substr(Length - 4), ".dll")) return AName;
  std::string Base = AName.substr(0, Length - 4);
  for (char& Char : Base) Char = static_cast<char>(std::tolower(static_cast<unsigned char>(Char)));
  return "lib" + Base + ".so";
}

std::string ExecutableDir() {
  const std::string Text = ExecutablePath();
  const size_t Slash = Text.rfind('/');
  return Slash == std::string::npos ? std::string() : Text.substr(0, Slash);
}

}  // namespace

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
  if (lpLibFileName == nullptr || *lpLibFileName == 0 || std::strlen(lpLibFileName) > PATH_MAX) {
    return nullptr;
  }
  const std::string Name = SharedObjectName(lpLibFileName);
  void* Handle = nullptr;
  if (Name.find('/') == std::string::npos) {
    const std::string Dir = ExecutableDir();
    if (!Dir.empty()) Handle = dlopen((Dir + "/" + Name).c_str(), RTLD_NOW | RTLD_LOCAL);
  }
  if (Handle == nullptr) Handle = dlopen(Name.c_str(), RTLD_NOW | RTLD_LOCAL);
  return static_cast<HMODULE>(Handle);
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  if (hModule == nullptr || lpProcName == nullptr) return nullptr;
  return reinterpret_cast<FARPROC>(dlsym(hModule, lpProcName));
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  if (hLibModule == nullptr) return 0;
  return dlclose(hLibModule) == 0 ? 1 : 0;
}
