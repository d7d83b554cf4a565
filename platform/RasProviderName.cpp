#include "RasProviderName.h"

#include <cstring>

#include "Windows.h"

namespace {

// What DravikRasProviderChoice answers for the simulated service taken as
// the fallback.
constexpr DWORD ChosenAsFallback = 3;

// Calls one of our dial-up library's own calls, looked up at run time (the
// platform's own library has none of them), with a text buffer of N bytes;
// the text it wrote when it answered 0, else empty.
template <size_t N, typename TCall, typename TAsk>
std::string AskLibrary(const char* AName, TAsk AAsk) {
  const HMODULE Library = LoadLibraryA("RASAPI32.DLL");
  if (Library == nullptr) return {};
  std::string Answer;
  const auto Call = reinterpret_cast<TCall>(GetProcAddress(Library, AName));
  char Text[N] = {};
  if (Call != nullptr && AAsk(Call, Text, static_cast<DWORD>(N)))
    Answer.assign(Text, strnlen(Text, N));
  FreeLibrary(Library);
  return Answer;
}

}  // namespace

std::string RasProviderName() {
  // A library that no provider can serve answers with why, not a name.
  using TCall = DWORD(WINAPI*)(LPSTR, DWORD);
  return AskLibrary<64, TCall>("DravikRasProviderInfo", [](TCall ACall, LPSTR AText, DWORD ASize) {
    return ACall(AText, ASize) == ERROR_SUCCESS;
  });
}

std::string RasErrorAdvice(DWORD AError) {
  using TCall = DWORD(WINAPI*)(DWORD, LPSTR, DWORD);
  return AskLibrary<512, TCall>("DravikRasErrorAdvice",
                                [AError](TCall ACall, LPSTR AText, DWORD ASize) {
                                  return ACall(AError, AText, ASize) == ERROR_SUCCESS;
                                });
}

std::string RasProviderFallback() {
  using TCall = DWORD(WINAPI*)(LPDWORD, LPSTR, DWORD);
  return AskLibrary<512, TCall>(
      "DravikRasProviderChoice", [](TCall ACall, LPSTR AText, DWORD ASize) {
        DWORD How = 0;
        return ACall(&How, AText, ASize) == ERROR_SUCCESS && How == ChosenAsFallback;
      });
}
