// dravik-ras: the dial-up service from the command line, through the same
// calls the programs make.

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "Ras.h"
#include "RasControl.h"
#include "RasErrorText.h"
#include "RasStateText.h"

namespace {

enum TExit { ExitOk = 0, ExitFailed = 1, ExitUsage = 2, ExitUnusable = 3 };

const char* const Usage =
    "Usage: dravik-ras COMMAND [ARGUMENTS]\n"
    "\n"
    "Works the dial-up service through the calls the programs use.\n"
    "\n"
    "Commands:\n"
    "  entries              the phonebook's entry names, one a line, in listing order\n"
    "  connections          the active connections, one a line, tab-separated:\n"
    "                       handle, entry, state, own address, peer address\n"
    "                       (the addresses are empty until the connection is up)\n"
    "  dial ENTRY           dial the entry and wait until it has connected or failed\n"
    "  dial ENTRY --async   dial the entry and print each notification as it comes:\n"
    "                       state number, state text, error code\n"
    "  hangup ENTRY         hang up every listed connection of the entry\n"
    "\n"
    "Faults of the simulated service:\n"
    "  drop ENTRY           cut the line of every listed connection of the entry\n"
    "  fail ENTRY CODE      make the entry's next dial fail with error CODE\n"
    "  repeat ENTRY         make the entry's next dial get its last address again\n"
    "  subnet ENTRY         make the entry's next dial get another address in the /24\n"
    "                       of its last one (and in its last IPv6 prefix)\n"
    "  add ENTRY [COUNT]    list COUNT (default 1, at most 1000) more connections of\n"
    "                       the entry, connected at once\n"
    "\n"
    "  --help               show this text\n"
    "\n"
    "Exit status: 0 on success, 1 when the service reports a failure, 2 for wrong\n"
    "arguments, 3 when the dial-up service cannot be used.\n"
    "\n"
    "Environment: DRAVIK_RAS_PROVIDER chooses the provider (networkmanager, pppd,\n"
    "sim); DRAVIK_NM_TYPES lists the NetworkManager connection types shown as entries\n"
    "(default pppoe,gsm,cdma); DRAVIK_PPPD, DRAVIK_PPP_DIR and DRAVIK_PPP_RUN_DIR move\n"
    "pppd, its configuration (/etc/ppp) and its pid files (/run); DRAVIK_RAS_DIR moves\n"
    "the simulated service's phonebook and state to another folder.\n";

const char* StateText(RASCONNSTATE AState) {
  const char* Text = RasStateText(AState);
  return *Text != '\0' ? Text : "Unknown state";
}

// Why the library's last call failed or came out empty, in its words
// (naming the file), or why no provider can serve; empty when it says nothing.
std::string Remark(DWORD ACode) {
  char Text[1024] = {};
  if (ACode == ERROR_RASMAN_CANNOT_INITIALIZE) {
    if (DravikRasProviderInfo(Text, sizeof Text) != ERROR_SUCCESS) return Text;
    Text[0] = 0;
  }
  if (DravikRasLastRemark(Text, sizeof Text) != ERROR_SUCCESS) return {};
  return Text;
}

int Fail(const std::string& AWhat, DWORD ACode) {
  const std::string Why = Remark(ACode);
  std::string Text = std::string(RasErrorTextEnglish(ACode)) + " (error " + std::to_string(ACode) +
                     ")" + (Why.empty() ? "" : ": " + Why);
  char Advice[512] = {};
  if (DravikRasErrorAdvice(ACode, Advice, sizeof Advice) == ERROR_SUCCESS && *Advice != 0)
    Text += "; " + std::string(Advice);
  std::fprintf(stderr, "dravik-ras: %s: %s\n", AWhat.c_str(), Text.c_str());
  return ExitFailed;
}

int BadArguments(const char* AMessage) {
  std::fprintf(stderr, "dravik-ras: %s\nTry 'dravik-ras --help'.\n", AMessage);
  return ExitUsage;
}

// An entry name as the phonebook can hold it.
bool IsEntryArgument(const char* AText) {
  const size_t Length = std::strlen(AText);
  return Length > 0 && Length <= RAS_MaxEntryName;
}

// A number argument within [AMin, AMax], digits only.
bool ParseCount(const char* AText, unsigned long AMin, unsigned long AMax, DWORD& AValue) {
  const size_t Length = std::strlen(AText);
  if (Length == 0 || Length > 10) return false;
  for (size_t Index = 0; Index < Length; ++Index) {
    if (AText[Index] < '0' || AText[Index] > '9') return false;
  }
  const unsigned long long Value = std::strtoull(AText, nullptr, 10);
  if (Value < AMin || Value > AMax) return false;
  AValue = static_cast<DWORD>(Value);
  return true;
}

// Lists records of any number: asks for the size first, then fills a buffer
// of that size, asking again when the list grew in between.
template <typename TRecord, typename TCall>
DWORD ListAll(TCall ACall, std::vector<TRecord>& ARecords) {
  DWORD Bytes = 0;
  DWORD Count = 0;
  DWORD Result = ACall(nullptr, &Bytes, &Count);
  for (int Attempt = 0; Attempt < 5 && Result == ERROR_BUFFER_TOO_SMALL; ++Attempt) {
    ARecords.assign(Bytes / sizeof(TRecord) + 1, TRecord{});
    ARecords[0].dwSize = sizeof(TRecord);
    Bytes = static_cast<DWORD>(ARecords.size() * sizeof(TRecord));
    Result = ACall(ARecords.data(), &Bytes, &Count);
  }
  ARecords.resize(Result == ERROR_SUCCESS ? Count : 0);
  return Result;
}

DWORD ListConnections(std::vector<RASCONNA>& AConnections) {
  return ListAll<RASCONNA>(
      [](RASCONNA* ABuffer, LPDWORD ABytes, LPDWORD ACount) {
        return RasEnumConnectionsA(ABuffer, ABytes, ACount);
      },
      AConnections);
}

// Whether the phonebook knows the entry; the check the dialler makes.
DWORD CheckEntry(const std::string& AName) {
  RASDIALPARAMSA Params{};
  Params.dwSize = sizeof Params;
  std::memcpy(Params.szEntryName, AName.data(), AName.size());
  BOOL PasswordStored = -1;
  return RasGetEntryDialParamsA(nullptr, &Params, &PasswordStored);
}

std::string EntryFailure(const std::string& AVerb, const std::string& AName) {
  return AVerb + " \"" + AName + "\"";
}

// The provider's warning about the entry, if any, on the error stream.
void Warn(const std::string& AName) {
  char Text[1024] = {};
  if (DravikRasEntryWarning(AName.c_str(), Text, sizeof Text) == ERROR_SUCCESS && *Text != 0) {
    std::fprintf(stderr, "dravik-ras: warning: \"%s\": %s\n", AName.c_str(), Text);
  }
}

int Entries() {
  std::vector<RASENTRYNAMEA> Entries;
  const DWORD Result = ListAll<RASENTRYNAMEA>(
      [](RASENTRYNAMEA* ABuffer, LPDWORD ABytes, LPDWORD ACount) {
        return RasEnumEntriesA(nullptr, nullptr, ABuffer, ABytes, ACount);
      },
      Entries);
  if (Result != ERROR_SUCCESS) return Fail("cannot list the phonebook", Result);
  // An empty or binary phonebook lists nothing; that is said, not left silent.
  const std::string Why = Remark(ERROR_SUCCESS);
  if (!Why.empty()) std::fprintf(stderr, "dravik-ras: %s\n", Why.c_str());
  for (const RASENTRYNAMEA& Entry : Entries) {
    std::printf("%s\n", Entry.szEntryName);
    Warn(Entry.szEntryName);
  }
  return ExitOk;
}

int Connections() {
  std::vector<RASCONNA> Connections;
  const DWORD Result = ListConnections(Connections);
  if (Result != ERROR_SUCCESS) return Fail("cannot list the connections", Result);
  for (const RASCONNA& Connection : Connections) {
    RASCONNSTATUSA Status{};
    Status.dwSize = sizeof Status;
    // A connection that ended since the listing is no longer shown.
    if (RasGetConnectStatusA(Connection.hrasconn, &Status) != ERROR_SUCCESS) continue;
    RASPPPIPA Projection{};
    Projection.dwSize = sizeof Projection;
    DWORD Size = sizeof Projection;
    if (RasGetProjectionInfoA(Connection.hrasconn, RASP_PppIp, &Projection, &Size) != 0) {
      Projection = {};
    }
    std::printf("%u\t%s\t%s\t%s\t%s\n", static_cast<unsigned>(RasHandleNumber(Connection.hrasconn)),
                Connection.szEntryName,
                Status.dwError != 0 ? "Error" : StateText(Status.rasconnstate),
                Projection.szIpAddress, Projection.szServerIpAddress);
  }
  return ExitOk;
}

// What the asynchronous dial's notifier hands to the main thread.
std::mutex DialLock;
std::condition_variable DialEnded;
bool DialDone = false;
DWORD DialError = 0;

void WINAPI PrintNotification(UINT AMsg, RASCONNSTATE AState, DWORD AError) {
  (void)AMsg;
  std::lock_guard<std::mutex> Guard(DialLock);
  std::printf("%d\t%s\t%u\n", AState, StateText(AState), static_cast<unsigned>(AError));
  std::fflush(stdout);
  if (AError != 0 || AState == RASCS_Connected) {
    DialDone = true;
    DialError = AError;
    DialEnded.notify_all();
  }
}

int Dial(const std::string& AName, bool AAsync) {
  RASDIALPARAMSA Params{};
  Params.dwSize = sizeof Params;
  std::memcpy(Params.szEntryName, AName.data(), AName.size());
  BOOL PasswordStored = -1;
  DWORD Result = RasGetEntryDialParamsA(nullptr, &Params, &PasswordStored);
  if (Result != ERROR_SUCCESS) return Fail(EntryFailure("cannot dial", AName), Result);
  Warn(AName);
  HRASCONN Handle = 0;
  Result = RasDialA(nullptr, nullptr, &Params, 0,
                    AAsync ? reinterpret_cast<LPVOID>(&PrintNotification) : nullptr, &Handle);
  if (Result != ERROR_SUCCESS) return Fail(EntryFailure("the dial failed for", AName), Result);
  if (AAsync) {
    std::unique_lock<std::mutex> Guard(DialLock);
    DialEnded.wait(Guard, [] { return DialDone; });
    if (DialError != 0) return Fail(EntryFailure("the dial failed for", AName), DialError);
    return ExitOk;
  }
  RASPPPIPA Projection{};
  Projection.dwSize = sizeof Projection;
  DWORD Size = sizeof Projection;
  Result = RasGetProjectionInfoA(Handle, RASP_PppIp, &Projection, &Size);
  if (Result != ERROR_SUCCESS)
    return Fail(EntryFailure("no connection came up for", AName), Result);
  std::printf("%u\t%s\t%s\t%s\n", static_cast<unsigned>(RasHandleNumber(Handle)), AName.c_str(),
              Projection.szIpAddress, Projection.szServerIpAddress);
  return ExitOk;
}

int HangUp(const std::string& AName) {
  DWORD Result = CheckEntry(AName);
  if (Result != ERROR_SUCCESS) return Fail(EntryFailure("cannot hang up", AName), Result);
  std::vector<RASCONNA> Connections;
  Result = ListConnections(Connections);
  if (Result != ERROR_SUCCESS) return Fail("cannot list the connections", Result);
  bool Found = false;
  for (const RASCONNA& Connection : Connections) {
    if (AName != Connection.szEntryName) continue;
    Result = RasHangUpA(Connection.hrasconn);
    // A connection that ended after the listing (another program hung it
    // up) counts as not listed, as it would had the listing come later.
    if (Result == ERROR_INVALID_HANDLE) continue;
    if (Result != ERROR_SUCCESS) return Fail(EntryFailure("cannot hang up", AName), Result);
    Found = true;
  }
  if (!Found) return Fail(EntryFailure("cannot hang up", AName), ERROR_NO_CONNECTION);
  return ExitOk;
}

int Fault(DWORD AResult, const std::string& AWhat) {
  return AResult == ERROR_SUCCESS ? ExitOk : Fail(AWhat, AResult);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> Args(argv + 1, argv + argc);
  if (Args.empty()) return BadArguments("no command given");
  for (const std::string& Arg : Args) {
    if (Arg == "--help" || Arg == "-h") {
      std::fputs(Usage, stdout);
      return ExitOk;
    }
  }
  const std::string Command = Args[0];
  const size_t Count = Args.size() - 1;
  auto Expect = [&](size_t AMin, size_t AMax) { return Count >= AMin && Count <= AMax; };
  const bool KnownCommand = Command == "entries" || Command == "connections" || Command == "dial" ||
                            Command == "hangup" || Command == "drop" || Command == "fail" ||
                            Command == "repeat" || Command == "subnet" || Command == "add";
  if (!KnownCommand) return BadArguments(("unknown command \"" + Command + "\"").c_str());
  const bool Fits =
      ((Command == "entries" || Command == "connections") && Expect(0, 0)) ||
      (Command == "dial" && Expect(1, 2)) ||
      ((Command == "hangup" || Command == "drop" || Command == "repeat" || Command == "subnet") &&
       Expect(1, 1)) ||
      (Command == "fail" && Expect(2, 2)) || (Command == "add" && Expect(1, 2));
  if (!Fits) return BadArguments(("wrong number of arguments for " + Command).c_str());
  if (Count >= 1 && !IsEntryArgument(Args[1].c_str())) {
    return BadArguments("an entry name has 1 to 256 characters");
  }
  bool Async = false;
  DWORD Number = 1;
  if (Command == "dial" && Count == 2) {
    if (Args[2] != "--async") return BadArguments(("unknown option \"" + Args[2] + "\"").c_str());
    Async = true;
  }
  if (Command == "fail" && !ParseCount(Args[2].c_str(), 1, 0xFFFFFFFFul, Number)) {
    return BadArguments("the error code must be a number from 1 to 4294967295");
  }
  if (Command == "add" && Count == 2 && !ParseCount(Args[2].c_str(), 1, 1000, Number)) {
    return BadArguments("the count must be a number from 1 to 1000");
  }

  char Provider[512] = {};
  if (DravikRasProviderInfo(Provider, sizeof Provider) != ERROR_SUCCESS) {
    std::fprintf(stderr, "dravik-ras: the dial-up service cannot be used: %s\n", Provider);
    return ExitUnusable;
  }
  if (std::strcmp(Provider, "sim") == 0) {
    // Whatever it does, the tool never lets a simulated line pass for a
    // real one.
    DWORD How = 0;
    char Chosen[512] = {};
    DravikRasProviderChoice(&How, Chosen, sizeof Chosen);
    std::fprintf(stderr,
                 "dravik-ras: note: the simulated dial-up service is in use (%s%s); no real line "
                 "is driven\n",
                 How == 3 ? "" : "chosen by ", Chosen);
  }

  if (Command == "entries") return Entries();
  if (Command == "connections") return Connections();
  const std::string Name = Args[1];
  if (Command == "dial") return Dial(Name, Async);
  if (Command == "hangup") return HangUp(Name);
  if (Command == "drop") {
    return Fault(DravikRasDropEntry(Name.c_str()), EntryFailure("cannot drop", Name));
  }
  if (Command == "fail") {
    return Fault(DravikRasFailNextDial(Name.c_str(), Number),
                 EntryFailure("cannot make the next dial fail for", Name));
  }
  if (Command == "repeat") {
    return Fault(DravikRasRepeatNextAddress(Name.c_str()),
                 EntryFailure("cannot make the next dial repeat the address of", Name));
  }
  if (Command == "subnet") {
    return Fault(DravikRasSubnetNextAddress(Name.c_str()),
                 EntryFailure("cannot make the next dial stay in the subnet of", Name));
  }
  return Fault(DravikRasAddConnected(Name.c_str(), Number),
               EntryFailure("cannot add connections of", Name));
}
