#include "TDravikd.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "ErrorHandler.h"
#include "RASManager.h"
#include "RasProviderName.h"
#include "TAddressCheck.h"
#include "TControlServer.h"
#include "TControlToken.h"
#include "THistory.h"
#include "THookRunner.h"
#include "TNeighbourConfigs.h"
#include "TRotation.h"
#include "TServiceConfig.h"
#include "TServiceLog.h"
#include "TServicePaths.h"
#include "TSystemdNotify.h"
#include "TTimer.h"
#include "UserMessage.h"

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;
// No real dial-up service to drive (EX_UNAVAILABLE): lasting, not retried.
constexpr int ExitNoRealLine = 69;
constexpr int ExitConfig = 78;
// Lasting start failures, which a restart cannot mend (the unit's
// RestartPreventExitStatus lists them with 78).
constexpr int ExitNoEntry = 79;
constexpr int ExitHistory = 80;
constexpr int ExitToken = 81;

const char* const Usage =
    "Usage: dravikd [--config FILE] [--check-config]\n"
    "\n"
    "Rotates the address of a dial-up line: online, hang up, offline, dial, on\n"
    "and on; records every dial, runs a hook after each new address and takes\n"
    "control requests over HTTP (see dravikctl).\n"
    "\n"
    "  --config FILE    the configuration file (default: dravikd.conf in\n"
    "                   /etc/dravik for root, else in $XDG_CONFIG_HOME/dravik)\n"
    "  --check-config   read the configuration, report what is wrong, end\n"
    "  --help           show this text\n";

// The write end of the pipe a signal handler wakes the event loop through.
int GSignalPipe[2] = {-1, -1};

void OnSignal(int ASignal) {
  const char Byte = static_cast<char>(ASignal);
  const int Saved = errno;
  (void)!write(GSignalPipe[1], &Byte, 1);
  errno = Saved;
}

// Why the hook cannot run, or empty: it must be a file we may execute, not
// only a path that reads well.
std::string HookProblem(const std::string& AConfigFile, const TServiceConfig& AConfig) {
  if (AConfig.Hook.empty()) return {};
  const std::string& Program = AConfig.Hook.front();
  struct stat Info {};
  if (stat(Program.c_str(), &Info) != 0)
    return AConfigFile + ": hook: " + Program + ": " + std::strerror(errno);
  if (!S_ISREG(Info.st_mode) || access(Program.c_str(), X_OK) != 0)
    return AConfigFile + ": hook: " + Program + " is not an executable file";
  return {};
}

// The entries the phonebook lists, for a message: "A", "B".
std::string EntryList(const std::vector<std::string>& AEntries) {
  std::string Text;
  for (const std::string& Entry : AEntries) Text += (Text.empty() ? "\"" : ", \"") + Entry + "\"";
  return Text;
}

std::string StatusLine(const TRotation& ARotation) {
  const TRotation::TStatus Status = ARotation.Status();
  std::string Text = std::string(TRotation::PhaseName(Status.Phase));
  if (!Status.Address.empty()) Text += ", address " + Status.Address;
  if (!Status.PublicAddress.empty()) Text += " (public " + Status.PublicAddress + ")";
  return Text;
}

}  // namespace

int RunDravikd(int argc, char** argv) {
  std::string ConfigFile;
  bool CheckOnly = false;
  for (int I = 1; I < argc; ++I) {
    const std::string Arg = argv[I];
    if (Arg == "--help" || Arg == "-h") {
      std::fputs(Usage, stdout);
      return ExitOk;
    } else if (Arg == "--config" && I + 1 < argc) {
      ConfigFile = argv[++I];
    } else if (Arg == "--check-config") {
      CheckOnly = true;
    } else {
      std::fprintf(stderr, "dravikd: unknown argument \"%s\"\n%s", Arg.c_str(), Usage);
      return ExitUsage;
    }
  }
  if (ConfigFile.empty()) ConfigFile = DefaultServiceConfigFile();

  TServiceLog Log(TServiceLog::JournalFromEnvironment());
  TServiceConfig Config;
  const std::string ConfigProblem = LoadServiceConfig(ConfigFile, Config);
  if (!ConfigProblem.empty()) {
    Log.Error("bad configuration: " + ConfigProblem);
    return ExitConfig;
  }
  const std::string RemoteWarning = RemoteListenWarning(Config);
  const std::string HookUnusable = HookProblem(ConfigFile, Config);
  if (!HookUnusable.empty()) {
    Log.Error("bad configuration: " + HookUnusable);
    return ExitConfig;
  }
  if (CheckOnly) {
    // Another service's file beside this one would fight it for the line,
    // the port or the state.
    const std::string Clashes = CheckNeighbourConfigs(ConfigFile, Config);
    if (!Clashes.empty()) {
      Log.Error("bad configuration: " + ConfigFile + " clashes with another service's file:\n" +
                Clashes);
      return ExitConfig;
    }
    // A unit that restarts on failure would otherwise start again and again
    // on a misspelt entry.
    std::vector<std::string> Entries;
    const std::string NoRealLine = RasProviderName() == "sim" ? RasProviderFallback() : "";
    if (NoRealLine.empty()) ListPhonebookEntries(Entries);
    if (!NoRealLine.empty()) {
      std::printf("%s: warning: no real dial-up line: %s; entry \"%s\" is not checked\n",
                  ConfigFile.c_str(), NoRealLine.c_str(), Config.Entry.c_str());
    } else if (Entries.empty()) {
      std::printf(
          "%s: warning: the phonebook cannot be read or lists no entries; entry \"%s\" "
          "is not checked\n",
          ConfigFile.c_str(), Config.Entry.c_str());
    } else if (std::find(Entries.begin(), Entries.end(), Config.Entry) == Entries.end()) {
      Log.Error("bad configuration: " + ConfigFile + ": entry: the phonebook has no entry \"" +
                Config.Entry + "\"; it lists " + EntryList(Entries));
      return ExitConfig;
    }
    if (!RemoteWarning.empty())
      std::printf("%s: warning: %s\n", ConfigFile.c_str(), RemoteWarning.c_str());
    std::printf("%s: fine\n", ConfigFile.c_str());
    return ExitOk;
  }

  // A service never passes simulated rotations off as real ones: the
  // simulated service runs only when it was asked for by name.
  const std::string Provider = RasProviderName();
  const bool Simulated = Provider == "sim";
  if (Simulated) {
    const std::string LookedFor = RasProviderFallback();
    if (!LookedFor.empty()) {
      Log.Error("no real dial-up line to rotate: " + LookedFor +
                "; to rotate the simulated line on purpose, set provider = sim in ras.conf or "
                "DRAVIK_RAS_PROVIDER=sim");
      return ExitNoRealLine;
    }
    Log.Warning(
        "simulated: the simulated dial-up service is in use, as asked; no real line is "
        "rotated and every address is made up");
  }

  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, GSignalPipe) != 0) {
    Log.Error(std::string("cannot prepare for signals: ") + std::strerror(errno));
    return ExitFailed;
  }
  struct sigaction Action {};
  Action.sa_handler = OnSignal;
  sigemptyset(&Action.sa_mask);
  Action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &Action, nullptr);
  sigaction(SIGINT, &Action, nullptr);
  sigaction(SIGHUP, &Action, nullptr);
  // Signals with no meaning here must not end the service; a client gone
  // while its answer is written is no reason to end either.
  signal(SIGUSR1, SIG_IGN);
  signal(SIGUSR2, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);

  QCoreApplication App(argc, argv);
  // Without a window, what a component would show the user and what escapes
  // a handler go to the log; the rotation runs on.
  SetErrorHandler([&Log](std::exception_ptr AError) { Log.Error("error: " + ErrorText(AError)); });
  SetUserMessageHandler([&Log](const std::string& AMessage, TMsgDlgType AType) {
    Log.Write(AType == TMsgDlgType::mtError ? TServiceLog::LogError : TServiceLog::LogWarning,
              AMessage);
  });

  const std::string StateDir = ServiceStateDirFor(ConfigFile, Config.StateDir);
  std::string Problem = MakePrivateDir(StateDir);
  if (!Problem.empty()) {
    Log.Error("cannot make the state folder: " + Problem);
    return ExitFailed;
  }
  THistory History;
  Problem = History.Open(StateDir + "/history.sqlite");
  if (!Problem.empty()) {
    Log.Error("cannot open the history: " + Problem);
    return ExitHistory;
  }
  History.WriteInBackground([&Log](bool AProblem, const std::string& AText) {
    Log.Write(AProblem ? TServiceLog::LogError : TServiceLog::LogNotice, AText);
  });
  std::string Token;
  const std::string TokenFile = ServiceTokenFileFor(ConfigFile, Config.StateDir, Config.TokenFile);
  Problem = LoadControlToken(TokenFile, true, Token);
  if (!Problem.empty()) {
    Log.Error("control token: " + Problem);
    return ExitToken;
  }
  // An entry the phonebook does not list stays missing however often the
  // start is tried; a phonebook that cannot be listed yet may come.
  std::vector<std::string> Entries;
  ListPhonebookEntries(Entries);
  if (!Entries.empty() &&
      std::find(Entries.begin(), Entries.end(), Config.Entry) == Entries.end()) {
    Log.Error("cannot start the rotation: the phonebook has no entry \"" + Config.Entry +
              "\"; it lists " + EntryList(Entries));
    return ExitNoEntry;
  }

  TComponent Root(nullptr);
  TAddressCheck* Check = nullptr;
  if (!Config.CheckUrl.empty())
    Check = new TAddressCheck(&Root, Config.CheckUrl, Config.CheckTimeoutSeconds);
  THookRunner* Hook = nullptr;
  if (!Config.Hook.empty())
    Hook = new THookRunner(&Root, Config.Hook, Config.HookTimeoutSeconds, Log);
  auto* Rotation = new TRotation(&Root, Config, Log, &History, Check, Hook);
  Rotation->Provider = Provider;
  Rotation->Simulated = Simulated;

  TControlServer Control(*Rotation, &History, Token);
  Problem = Config.ListenSocket.empty() ? Control.Listen(Config.ListenAddress, Config.ListenPort)
                                        : Control.ListenUnix(Config.ListenSocket);
  if (!Problem.empty()) {
    Log.Error("control: " + Problem);
    return ExitFailed;
  }
  Log.Info("control listening on " +
           (Config.ListenSocket.empty()
                ? Config.ListenAddress + ":" + std::to_string(Control.Port())
                : "unix:" + Config.ListenSocket) +
           ", at most " + std::to_string(Control.Limits().MaxConnections) + " connections");
  if (!RemoteWarning.empty()) Log.Warning(RemoteWarning);

  Rotation->OnRecorded = [Rotation](const TDialRecord&) {
    SystemdNotify::Status(StatusLine(*Rotation));
  };
  if (!Rotation->Start(Problem)) {
    Log.Error("cannot start the rotation: " + Problem);
    return ExitFailed;
  }
  SystemdNotify::Ready(StatusLine(*Rotation));

  // Pings only while the rotation runs and the event loop turns.
  auto* Watchdog = new TTimer(&Root);
  Watchdog->SetEnabled(false);
  if (const uint64_t Interval = SystemdNotify::WatchdogMilliseconds()) {
    Watchdog->SetInterval(static_cast<uint32_t>(std::max<uint64_t>(Interval / 2, 1)));
    Watchdog->OnTimer.Bind([Rotation](TObject*) {
      if (Rotation->Phase() != TRotation::TPhase::Stopped) SystemdNotify::WatchdogPing();
    });
    Watchdog->SetEnabled(true);
  }

  QSocketNotifier Signals(GSignalPipe[0], QSocketNotifier::Read);
  bool Stopping = false;
  QObject::connect(&Signals, &QSocketNotifier::activated, [&] {
    char Byte = 0;
    bool Reload = false;
    bool End = false;
    while (read(GSignalPipe[0], &Byte, 1) == 1) (Byte == SIGHUP ? Reload : End) = true;
    if (Stopping) return;
    if (Reload && !End) {
      // The new configuration is read first: a bad one leaves the service
      // running as it is.
      TServiceConfig Next;
      const std::string Wrong = LoadServiceConfig(ConfigFile, Next);
      if (!Wrong.empty()) {
        Log.Error("SIGHUP: the configuration is not taken up: " + Wrong);
        return;
      }
      Stopping = true;
      Log.Info("SIGHUP: finishing the step in hand, then starting again with " + ConfigFile);
      SystemdNotify::Reloading();
      Rotation->Stop([] { QCoreApplication::exit(DravikdRestart); });
      return;
    }
    Stopping = true;
    Log.Info("stopping");
    SystemdNotify::Stopping();
    Rotation->Stop([] { QCoreApplication::exit(ExitOk); });
  });

  const int Result = App.exec();
  Log.Info("stopped");
  return Result;
}
