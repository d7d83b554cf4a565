#include "RasProviderName.h"

#include <cstring>

#include "RasOwnCall.h"
#include "Windows.h"

namespace {

// What DravikRasProviderChoice answers for the simulated service taken as
// the fallback.
constexpr DWORD ChosenAsFallback = 3;

// One of our dial-up library's own calls with a text buffer of N bytes; the
// text it wrote when it answered 0, else empty.
template <size_t N, typename TCall, typename TAsk>
std::string AskLibrary(const char* AName, TAsk AAsk) {
  char Text[N] = {};
  if (!CallRasOwn<TCall>(AName, [&](TCall ACall) { return AAsk(ACall, Text, DWORD(N)); }))
    return {};
  return std::string(Text, strnlen(Text, N));
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
