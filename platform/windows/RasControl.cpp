// Our dial-up library's own calls, looked up at run time in the dial-up
// library the program has loaded: the system's own has none of them, and
// then the calls answer as for a provider that has nothing to add and
// stages no faults. A stand-in library of ours answers for itself.

#include "RasControl.h"

#include <algorithm>
#include <cstring>

namespace {

template <typename TCall>
TCall LibraryCall(const char* AName) {
  const HMODULE Library = GetModuleHandleA("rasapi32.dll");
  return Library == nullptr ? nullptr : reinterpret_cast<TCall>(GetProcAddress(Library, AName));
}

DWORD WriteText(const char* AText, LPSTR ABuffer, DWORD ASize) {
  if (ABuffer == nullptr || ASize == 0) return ERROR_INVALID_PARAMETER;
  const size_t Length = std::min<size_t>(std::strlen(AText), ASize - 1);
  std::memcpy(ABuffer, AText, Length);
  ABuffer[Length] = 0;
  return ERROR_SUCCESS;
}

// The name the system's own service goes by in the tools' messages.
constexpr const char* SystemService = "windows";

}  // namespace

extern "C" {

DWORD WINAPI DravikRasProviderInfo(LPSTR AText, DWORD ASize) {
  using TCall = DWORD(WINAPI*)(LPSTR, DWORD);
  if (const auto Call = LibraryCall<TCall>("DravikRasProviderInfo")) return Call(AText, ASize);
  if (AText != nullptr && ASize > 0) WriteText(SystemService, AText, ASize);
  return ERROR_SUCCESS;
}

DWORD WINAPI DravikRasProviderChoice(LPDWORD AHow, LPSTR AText, DWORD ASize) {
  using TCall = DWORD(WINAPI*)(LPDWORD, LPSTR, DWORD);
  if (const auto Call = LibraryCall<TCall>("DravikRasProviderChoice"))
    return Call(AHow, AText, ASize);
  if (AHow == nullptr) return ERROR_INVALID_PARAMETER;
  *AHow = 2;
  return WriteText("the system's dial-up service", AText, ASize);
}

DWORD WINAPI DravikRasEntryWarning(LPCSTR AEntryName, LPSTR AText, DWORD ASize) {
  using TCall = DWORD(WINAPI*)(LPCSTR, LPSTR, DWORD);
  if (const auto Call = LibraryCall<TCall>("DravikRasEntryWarning"))
    return Call(AEntryName, AText, ASize);
  return WriteText("", AText, ASize);
}

DWORD WINAPI DravikRasErrorAdvice(DWORD AError, LPSTR AText, DWORD ASize) {
  using TCall = DWORD(WINAPI*)(DWORD, LPSTR, DWORD);
  if (const auto Call = LibraryCall<TCall>("DravikRasErrorAdvice"))
    return Call(AError, AText, ASize);
  return WriteText("", AText, ASize);
}

DWORD WINAPI DravikRasLastRemark(LPSTR AText, DWORD ASize) {
  using TCall = DWORD(WINAPI*)(LPSTR, DWORD);
  if (const auto Call = LibraryCall<TCall>("DravikRasLastRemark")) return Call(AText, ASize);
  return WriteText("", AText, ASize);
}

DWORD WINAPI DravikRasDropEntry(LPCSTR AEntryName) {
  using TCall = DWORD(WINAPI*)(LPCSTR);
  if (const auto Call = LibraryCall<TCall>("DravikRasDropEntry")) return Call(AEntryName);
  return ERROR_NOT_SUPPORTED;
}

DWORD WINAPI DravikRasFailNextDial(LPCSTR AEntryName, DWORD ACode) {
  using TCall = DWORD(WINAPI*)(LPCSTR, DWORD);
  if (const auto Call = LibraryCall<TCall>("DravikRasFailNextDial")) return Call(AEntryName, ACode);
  return ERROR_NOT_SUPPORTED;
}

DWORD WINAPI DravikRasRepeatNextAddress(LPCSTR AEntryName) {
  using TCall = DWORD(WINAPI*)(LPCSTR);
  if (const auto Call = LibraryCall<TCall>("DravikRasRepeatNextAddress")) return Call(AEntryName);
  return ERROR_NOT_SUPPORTED;
}

DWORD WINAPI DravikRasSubnetNextAddress(LPCSTR AEntryName) {
  using TCall = DWORD(WINAPI*)(LPCSTR);
  if (const auto Call = LibraryCall<TCall>("DravikRasSubnetNextAddress")) return Call(AEntryName);
  return ERROR_NOT_SUPPORTED;
}

DWORD WINAPI DravikRasAddConnected(LPCSTR AEntryName, DWORD ACount) {
  using TCall = DWORD(WINAPI*)(LPCSTR, DWORD);
  if (const auto Call = LibraryCall<TCall>("DravikRasAddConnected"))
    return Call(AEntryName, ACount);
  return ERROR_NOT_SUPPORTED;
}

}  // extern "C"
