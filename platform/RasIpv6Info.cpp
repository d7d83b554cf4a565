#include "RasIpv6Info.h"

#include <cstring>

#include "RasOwnCall.h"

namespace {

// As the library declares it (RasControl.h), which the components do not
// include: the programs also run against a library without it.
constexpr DWORD TextBytes = 50;

}  // namespace

bool RasIpv6Info(HRASCONN AConnection, std::string& AAddress, std::string& APrefix) {
  using TCall = DWORD(WINAPI*)(HRASCONN, LPSTR, DWORD, LPSTR, DWORD);
  char Address[TextBytes] = {};
  char Prefix[TextBytes] = {};
  if (!CallRasOwn<TCall>("DravikRasIpv6Info", [&](TCall ACall) {
        return ACall(AConnection, Address, TextBytes, Prefix, TextBytes) == ERROR_SUCCESS;
      }))
    return false;
  AAddress.assign(Address, strnlen(Address, TextBytes));
  APrefix.assign(Prefix, strnlen(Prefix, TextBytes));
  return true;
}
