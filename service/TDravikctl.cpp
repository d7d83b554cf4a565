#include "TDravikctl.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QThread>
#include <cstdio>
#include <string>
#include <vector>

#include "HistoryOutput.h"
#include "RASManager.h"
#include "RasProviderName.h"
#include "TControlClient.h"
#include "TControlRequest.h"
#include "TControlToken.h"
#include "TFleetCtl.h"
#include "THistory.h"
#include "THistoryReader.h"
#include "TServiceConfig.h"
#include "TServicePaths.h"

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;
constexpr int ExitUnreachable = 3;
constexpr int ExitTimedOut = 4;

// rotate --wait looks at the status this often.
constexpr int WaitStepMs = 200;
constexpr int DefaultWaitSeconds = 300;

const char* const Usage =
    "Usage: dravikctl [OPTIONS] COMMAND\n"
    "\n"
    "Commands:\n"
    "  status                 entry, phase, address while up, the previous one, what the\n"
    "                         rotation waits for, time up, dials, last error\n"
    "  rotate [--wait [--timeout S]]\n"
    "                         rotate now: hang up and dial again; during a dial or the\n"
    "                         offline wait the rotation is on its way already. --wait\n"
    "                         waits for the verified new address and prints it (the\n"
    "                         public one when the service checks it), at most S seconds\n"
    "                         (default 300)\n"
    "  pause                  stop the timed steps; the line stays as it is\n"
    "  resume                 go on rotating\n"
    "  history [--since TIME] [--limit N] [--csv]\n"
    "                         the recorded dials, drops and failed hang-ups; TIME is an\n"
    "                         ISO 8601 date and time (2026-12-10T08:00:00Z) or an age\n"
    "                         (90s, 30m, 12h, 7d); N: only the latest N rows. Read from\n"
    "                         the history file when the service does not answer\n"
    "  entries                the phonebook's entries\n"
    "  fleet list             every live node of the fleet: name, address, age, proxy\n"
    "  fleet rotate|pause|resume NODE|--all\n"
    "                         asks one node, or every node, through the fleet's Redis\n"
    "                         (the [fleet] section of the configuration)\n"
    "\n"
    "Options:\n"
    "  --json                 print JSON, for scripts\n"
    "  --config FILE          the service's configuration file (default as dravikd);\n"
    "                         its listen, state-dir and token-file keys say where to ask\n"
    "  --help                 show this text\n"
    "\n"
    "Exit status: 0 done, 1 the service refused or the rotation failed, 2 wrong\n"
    "arguments, 3 the service cannot be reached or refused the token, 4 rotate --wait\n"
    "saw no new address in time.\n";

int Fail(int ACode, const std::string& AText) {
  std::fprintf(stderr, "dravikctl: %s\n", AText.c_str());
  return ACode;
}

struct TOptions {
  std::string Command;
  std::string ConfigFile;
  QString Since;
  qint64 SinceMs = 0;
  int Limit = 0;  // 0: every row
  bool Json = false;
  bool Csv = false;
  bool Wait = false;
  int TimeoutSeconds = 0;  // 0: not given
  std::vector<std::string> FleetArgs;
};

// An ISO 8601 time (UTC unless it says otherwise) or an age before now.
bool ParseSince(const QString& AText, qint64& AMs) {
  static const QRegularExpression Age("^(\\d{1,9})([smhd])$");
  const QRegularExpressionMatch Match = Age.match(AText);
  if (Match.hasMatch()) {
    const qint64 Count = Match.captured(1).toLongLong();
    const QChar Unit = Match.captured(2).at(0);
    const qint64 Seconds = Unit == 's' ? 1 : Unit == 'm' ? 60 : Unit == 'h' ? 3600 : 86400;
    AMs = std::max<qint64>(0, QDateTime::currentMSecsSinceEpoch() - Count * Seconds * 1000);
    return true;
  }
  QDateTime Time = QDateTime::fromString(AText, Qt::ISODateWithMs);
  if (!Time.isValid()) return false;
  if (Time.timeSpec() == Qt::LocalTime && !AText.endsWith('Z')) Time.setTimeSpec(Qt::UTC);
  AMs = std::max<qint64>(0, Time.toMSecsSinceEpoch());
  return true;
}

bool ParseCount(const char* AText, int AMax, int& AValue) {
  const QString Text = QString::fromLocal8Bit(AText);
  static const QRegularExpression Digits("^[0-9]{1,9}$");
  if (!Digits.match(Text).hasMatch()) return false;
  const qint64 Value = Text.toLongLong();
  if (Value < 1 || Value > AMax) return false;
  AValue = static_cast<int>(Value);
  return true;
}

// Empty when fine, else what is wrong (the usage follows it).
std::string ParseOptions(int argc, char** argv, TOptions& AOptions, bool& AHelp) {
  for (int I = 1; I < argc; ++I) {
    const std::string Arg = argv[I];
    const bool HasValue = I + 1 < argc;
    if (Arg == "--help" || Arg == "-h") {
      AHelp = true;
      return {};
    } else if (Arg == "--json") {
      AOptions.Json = true;
    } else if (Arg == "--csv") {
      AOptions.Csv = true;
    } else if (Arg == "--wait") {
      AOptions.Wait = true;
    } else if (Arg == "--config" && HasValue) {
      AOptions.ConfigFile = argv[++I];
    } else if (Arg == "--since" && HasValue) {
      AOptions.Since = QString::fromLocal8Bit(argv[++I]);
    } else if (Arg == "--limit" && HasValue) {
      if (!ParseCount(argv[++I], static_cast<int>(TControlRequest::MaxHistoryRows), AOptions.Limit))
        return "--limit takes a whole number from 1 to 10000";
    } else if (Arg == "--timeout" && HasValue) {
      if (!ParseCount(argv[++I], 86400, AOptions.TimeoutSeconds))
        return "--timeout takes whole seconds from 1 to 86400";
    } else if (AOptions.Command == "fleet" && (Arg.rfind("--", 0) != 0 || Arg == "--all")) {
      AOptions.FleetArgs.push_back(Arg);
    } else if (AOptions.Command.empty() && Arg.rfind("--", 0) != 0) {
      AOptions.Command = Arg;
    } else {
      return "unexpected argument \"" + Arg + "\"";
    }
  }
  const std::string& Command = AOptions.Command;
  const bool Known = Command == "status" || Command == "rotate" || Command == "pause" ||
                     Command == "resume" || Command == "history" || Command == "entries" ||
                     Command == "fleet";
  if (Command == "fleet") {
    const std::string Wrong = CheckFleetArgs(AOptions.FleetArgs);
    if (!Wrong.empty()) return Wrong;
  }
  if (!Known) return Command.empty() ? "no command given" : "unknown command \"" + Command + "\"";
  const bool History = Command == "history";
  if (!History && (!AOptions.Since.isEmpty() || AOptions.Limit != 0 || AOptions.Csv))
    return "--since, --limit and --csv go with history only";
  if (AOptions.Csv && AOptions.Json) return "--csv and --json do not go together";
  if (Command != "rotate" && AOptions.Wait) return "--wait goes with rotate only";
  if (!AOptions.Wait && AOptions.TimeoutSeconds != 0) return "--timeout goes with rotate --wait";
  if (!AOptions.Since.isEmpty() && !ParseSince(AOptions.Since, AOptions.SinceMs))
    return "--since takes an ISO 8601 time or an age such as 30m, 12h or 7d";
  return {};
}

QString Text(const QJsonObject& AObject, const char* AKey) {
  return AObject.value(AKey).toString();
}

void PrintStatus(const QJsonObject& AStatus) {
  std::printf("entry:       %s\n", qPrintable(Text(AStatus, "entry")));
  if (AStatus.value("simulated").toBool())
    std::printf(
        "line:        simulated (the simulated dial-up service; no real line is rotated)\n");
  std::printf("phase:       %s since %s\n", qPrintable(Text(AStatus, "phase")),
              qPrintable(Text(AStatus, "since")));
  if (!Text(AStatus, "address").isEmpty()) {
    QString Address = Text(AStatus, "address");
    if (!Text(AStatus, "public_address").isEmpty())
      Address += " (public " + Text(AStatus, "public_address") + ")";
    std::printf("address:     %s\n", qPrintable(Address));
  } else {
    std::printf("address:     none (the line is down)\n");
  }
  if (!Text(AStatus, "address6").isEmpty())
    std::printf(
        "IPv6:        %s (prefix %s)\n", qPrintable(Text(AStatus, "address6")),
        qPrintable(Text(AStatus, "prefix6").isEmpty() ? "unknown" : Text(AStatus, "prefix6")));
  else if (!Text(AStatus, "prefix6").isEmpty())
    std::printf("IPv6:        prefix %s\n", qPrintable(Text(AStatus, "prefix6")));
  if (!Text(AStatus, "previous_address").isEmpty())
    std::printf("previous:    %s\n", qPrintable(Text(AStatus, "previous_address")));
  const QJsonValue Online = AStatus.value("online_seconds");
  if (Online.isDouble())
    std::printf("online time: %lld s this time\n", static_cast<long long>(Online.toDouble()));
  const QJsonValue Up = AStatus.value("up_seconds");
  if (Up.isDouble()) std::printf("up for:      %lld s\n", static_cast<long long>(Up.toDouble()));
  if (!Text(AStatus, "waiting_for").isEmpty()) {
    QString Waiting = Text(AStatus, "waiting_for");
    const QJsonValue Next = AStatus.value("next_step_seconds");
    if (Next.isDouble()) Waiting += QString(", next step in %1 s").arg(Next.toInteger());
    std::printf("waiting for: %s\n", qPrintable(Waiting));
  }
  std::printf("dials:       %lld (new addresses: %lld, failures: %lld)\n",
              static_cast<long long>(AStatus.value("dials").toInteger()),
              static_cast<long long>(AStatus.value("rotations").toInteger()),
              static_cast<long long>(AStatus.value("failures").toInteger()));
  const QJsonObject Error = AStatus.value("last_error").toObject();
  if (!Error.isEmpty()) {
    const qint64 Code = Error.value("code").toInteger();
    std::printf("last error:  %s%s\n", Code != 0 ? qPrintable(QString("%1: ").arg(Code)) : "",
                qPrintable(Text(Error, "text")));
  }
}

int ListEntries(bool AJson) {
  std::vector<std::string> Entries;
  ListPhonebookEntries(Entries);
  if (RasProviderName() == "sim")
    std::fprintf(stderr, "dravikctl: the simulated dial-up service's phonebook: no real line\n");
  if (AJson) {
    QJsonArray Array;
    for (const std::string& Entry : Entries) Array.append(QString::fromStdString(Entry));
    std::printf(
        "%s\n",
        QJsonDocument(QJsonObject{{"entries", Array}}).toJson(QJsonDocument::Indented).constData());
  } else {
    for (const std::string& Entry : Entries) std::printf("%s\n", Entry.c_str());
  }
  return Entries.empty() ? Fail(ExitFailed, "the phonebook cannot be read or lists no entries")
                         : ExitOk;
}

// The service's word, or the reason there is none as an exit code.
struct TAsk {
  int Exit = ExitOk;
  QJsonObject Answer;
};

class TService {
 public:
  TService(TControlEndpoint AEndpoint, std::string AToken, std::string ATokenFile)
      : FEndpoint(std::move(AEndpoint)),
        FToken(std::move(AToken)),
        FTokenFile(std::move(ATokenFile)) {}

  // AQuiet: an unreachable service is not said (the caller has a way round).
  TAsk Ask(const std::string& AMethod, const std::string& ATarget, bool AQuiet = false) {
    TAsk Result;
    const TControlAnswer Reply = AskControl(FEndpoint, AMethod, ATarget, FToken);
    if (Reply.Status == 0) {
      Unreachable = Reply.Problem;
      Result.Exit = AQuiet ? ExitUnreachable
                           : Fail(ExitUnreachable, "the service at " + FEndpoint.Text() +
                                                       " cannot be reached: " + Reply.Problem);
      return Result;
    }
    Result.Answer = QJsonDocument::fromJson(Reply.Body).object();
    if (Reply.Status == 401) {
      Result.Exit =
          Fail(ExitUnreachable,
               Reply.Server == "dravikd"
                   ? "the service at " + FEndpoint.Text() + " refused the token in " + FTokenFile +
                         " (a dravikd answered: is it another line's service, with a token of its "
                         "own?)"
                   : FEndpoint.Text() + " is answered by another program" +
                         (Reply.Server.empty() ? std::string() : " (\"" + Reply.Server + "\")") +
                         ", not dravikd: see the listen key of the configuration");
      return Result;
    }
    if (Reply.Status != 200) {
      const QString Error = Text(Result.Answer, "error");
      Result.Exit =
          Fail(ExitFailed, Error.isEmpty() ? "the service answered " + std::to_string(Reply.Status)
                                           : Error.toStdString());
    }
    return Result;
  }
  std::string Unreachable;

 private:
  TControlEndpoint FEndpoint;
  std::string FToken;
  std::string FTokenFile;
};

int RotateAndWait(TService& AService, int ATimeoutSeconds) {
  const TAsk Before = AService.Ask("GET", "/status");
  if (Before.Exit != ExitOk) return Before.Exit;
  const TAsk Asked = AService.Ask("POST", "/rotate");
  if (Asked.Exit != ExitOk) return Asked.Exit;
  std::fprintf(stderr, "dravikctl: %s\n", qPrintable(Text(Asked.Answer, "result")));
  const qint64 Rotations = Before.Answer.value("rotations").toInteger();
  const qint64 Failures = Before.Answer.value("failures").toInteger();
  QElapsedTimer Waited;
  Waited.start();
  while (Waited.elapsed() < ATimeoutSeconds * 1000LL) {
    QThread::msleep(WaitStepMs);
    const TAsk Now = AService.Ask("GET", "/status");
    if (Now.Exit != ExitOk) return Now.Exit;
    const QJsonObject& Status = Now.Answer;
    if (Status.value("failures").toInteger() > Failures) {
      return Fail(ExitFailed,
                  "the rotation failed: " +
                      Text(Status.value("last_error").toObject(), "text").toStdString());
    }
    if (Status.value("rotations").toInteger() > Rotations && !Text(Status, "address").isEmpty()) {
      const QString Public = Text(Status, "public_address");
      std::printf("%s\n", qPrintable(Public.isEmpty() ? Text(Status, "address") : Public));
      return ExitOk;
    }
    const QString Phase = Text(Status, "phase");
    if (Phase == "paused" || Phase == "stopped")
      return Fail(ExitFailed, "the rotation is " + Phase.toStdString() + "; no new address comes");
  }
  return Fail(ExitTimedOut, "no new address within " + std::to_string(ATimeoutSeconds) + " s");
}

// The history from the service, a page at a time.
int HistoryFromService(TService& AService, const TOptions& AOptions, THistoryOutput& AOutput) {
  qint64 After = 0;
  for (;;) {
    std::string Target = "/history?since=" + std::to_string(AOptions.SinceMs);
    if (AOptions.Limit != 0) Target += "&last=" + std::to_string(AOptions.Limit);
    if (After != 0) Target += "&after=" + std::to_string(After);
    const TAsk Page = AService.Ask("GET", Target, true);
    if (Page.Exit != ExitOk) return Page.Exit;
    AOutput.Add(Page.Answer.value("rows").toArray());
    const qint64 Next = Page.Answer.value("next").toInteger();
    if (Next <= After) return ExitOk;
    After = Next;
  }
}

// The history read from its file, read-only: the service's writes go on
// beside it (the database keeps a write-ahead log).
int HistoryFromFile(const std::string& AFileName, const TOptions& AOptions,
                    THistoryOutput& AOutput) {
  THistory History;
  std::string Problem = History.OpenForReading(AFileName);
  if (!Problem.empty()) return Fail(ExitUnreachable, "the history cannot be read: " + Problem);
  std::vector<TDialRecord> Rows;
  auto Add = [&] {
    QJsonArray Array;
    for (const TDialRecord& Row : Rows) Array.append(THistoryReader::RowJson(Row));
    AOutput.Add(Array);
  };
  if (AOptions.Limit != 0) {
    if (!History.Latest(AOptions.SinceMs, AOptions.Limit, Rows, Problem))
      return Fail(ExitFailed, "the history cannot be read: " + Problem);
    Add();
    return ExitOk;
  }
  int64_t After = 0;
  for (;;) {
    int64_t Next = 0;
    if (!History.Page(AOptions.SinceMs, After, static_cast<int>(TControlRequest::MaxHistoryRows),
                      Rows, Next, Problem))
      return Fail(ExitFailed, "the history cannot be read: " + Problem);
    Add();
    if (Next == 0) return ExitOk;
    After = Next;
  }
}

}  // namespace

int RunDravikctl(int argc, char** argv) {
  QCoreApplication App(argc, argv);
  TOptions Options;
  bool Help = false;
  const std::string Wrong = ParseOptions(argc, argv, Options, Help);
  if (Help) {
    std::fputs(Usage, stdout);
    return ExitOk;
  }
  if (!Wrong.empty()) return Fail(ExitUsage, Wrong + "\n" + Usage);
  if (Options.Command == "entries") return ListEntries(Options.Json);

  if (Options.ConfigFile.empty()) Options.ConfigFile = DefaultServiceConfigFile();
  TServiceConfig Config;
  std::string Problem = LoadServiceConfig(Options.ConfigFile, Config);
  if (!Problem.empty()) return Fail(ExitUnreachable, "the service's configuration: " + Problem);
  if (Options.Command == "fleet") {
    if (!Config.Fleet.Enabled)
      return Fail(ExitUnreachable, Options.ConfigFile + " has no [fleet] section");
    return RunFleetCommand(Config.Fleet, Options.FleetArgs, Options.Json);
  }
  const std::string StateDir = ServiceStateDirFor(Options.ConfigFile, Config.StateDir);
  const std::string TokenFile =
      ServiceTokenFileFor(Options.ConfigFile, Config.StateDir, Config.TokenFile);
  const bool History = Options.Command == "history";
  std::string Token;
  Problem = LoadControlToken(TokenFile, false, Token);
  if (!Problem.empty()) {
    const std::string Said =
        "control token: " + Problem +
        (Config.TokenFile.empty() ? " (where the dravikd reading " + Options.ConfigFile +
                                        " keeps it; a token-file key there names another file)"
                                  : " (named by the token-file key of " + Options.ConfigFile + ")");
    // The history can do without the service.
    if (!History) return Fail(ExitUnreachable, Said);
    std::fprintf(stderr, "dravikctl: %s\n", Said.c_str());
  }

  TControlEndpoint Endpoint;
  Endpoint.SocketPath = Config.ListenSocket;
  Endpoint.Address = Config.ListenAddress;
  Endpoint.Port = Config.ListenPort;
  TService Service(Endpoint, Token, TokenFile);

  if (History) {
    THistoryOutput Output(Options.Json  ? THistoryOutput::TForm::Json
                          : Options.Csv ? THistoryOutput::TForm::Csv
                                        : THistoryOutput::TForm::Table,
                          stdout);
    int Exit = Token.empty() ? ExitUnreachable : HistoryFromService(Service, Options, Output);
    if (Exit == ExitUnreachable && (Token.empty() || !Service.Unreachable.empty())) {
      const std::string FileName = StateDir + "/history.sqlite";
      std::fprintf(stderr, "dravikctl: the service does not answer%s; reading %s\n",
                   Service.Unreachable.empty() ? "" : (" (" + Service.Unreachable + ")").c_str(),
                   FileName.c_str());
      Exit = HistoryFromFile(FileName, Options, Output);
    }
    if (Exit == ExitOk) Output.Finish();
    return Exit;
  }
  if (Options.Command == "rotate" && Options.Wait)
    return RotateAndWait(Service,
                         Options.TimeoutSeconds != 0 ? Options.TimeoutSeconds : DefaultWaitSeconds);

  const bool Get = Options.Command == "status";
  const TAsk Reply = Service.Ask(Get ? "GET" : "POST", "/" + Options.Command);
  if (Reply.Exit != ExitOk) return Reply.Exit;
  if (Options.Json) {
    std::printf("%s\n", QJsonDocument(Reply.Answer).toJson(QJsonDocument::Indented).constData());
  } else if (Get) {
    PrintStatus(Reply.Answer);
  } else {
    std::printf("%s\n", qPrintable(Text(Reply.Answer, "result")));
  }
  return ExitOk;
}
