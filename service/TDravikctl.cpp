#include "TDravikctl.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cstdio>
#include <string>

#include "TControlClient.h"
#include "TControlToken.h"
#include "TServiceConfig.h"
#include "TServicePaths.h"

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;
constexpr int ExitUnreachable = 3;

const char* const Usage =
    "Usage: dravikctl [OPTIONS] COMMAND\n"
    "\n"
    "Commands:\n"
    "  status                 entry, phase, address, since when, next step, last error\n"
    "  rotate                 rotate now: hang up and dial again\n"
    "  pause                  stop the timed steps; the line stays as it is\n"
    "  resume                 go on rotating\n"
    "  history [--since TIME] the recorded dials; TIME is an ISO 8601 date and time\n"
    "                         (2026-12-10T08:00:00Z) or an age (90s, 30m, 12h, 7d)\n"
    "\n"
    "Options:\n"
    "  --json                 print the service's JSON answer, for scripts\n"
    "  --config FILE          the service's configuration file (default as dravikd);\n"
    "                         its listen and token-file keys say where to ask\n"
    "  --help                 show this text\n"
    "\n"
    "Exit status: 0 done, 1 the service refused or failed, 2 wrong arguments,\n"
    "3 the service cannot be reached or refused the token.\n";

int Fail(int ACode, const std::string& AText) {
  std::fprintf(stderr, "dravikctl: %s\n", AText.c_str());
  return ACode;
}

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
  QString Address = Text(AStatus, "address");
  if (Address.isEmpty()) Address = "none";
  if (!Text(AStatus, "public_address").isEmpty())
    Address += " (public " + Text(AStatus, "public_address") + ")";
  std::printf("address:     %s\n", qPrintable(Address));
  const QJsonValue Next = AStatus.value("seconds_to_next_step");
  if (Next.isDouble())
    std::printf("next step:   in %lld s\n", static_cast<long long>(Next.toDouble()));
  if (!Text(AStatus, "last_error").isEmpty())
    std::printf("last error:  %s\n", qPrintable(Text(AStatus, "last_error")));
}

void PrintHistoryHeading() {
  std::printf("%-24s %-12s %-15s %-15s %8s  %s\n", "time", "outcome", "address", "public",
              "dial ms", "error");
}

void PrintHistory(const QJsonArray& Rows) {
  for (const QJsonValue& Value : Rows) {
    const QJsonObject Row = Value.toObject();
    QString Error;
    if (Row.value("error_code").toInt() != 0)
      Error = QString::number(Row.value("error_code").toInt());
    if (!Text(Row, "detail").isEmpty()) Error += (Error.isEmpty() ? "" : " ") + Text(Row, "detail");
    if (Row.value("simulated").toBool())
      Error += QString(Error.isEmpty() ? "" : " ") + "(simulated line)";
    std::printf("%-24s %-12s %-15s %-15s %8lld  %s\n", qPrintable(Text(Row, "time")),
                qPrintable(Text(Row, "outcome")), qPrintable(Text(Row, "line_address")),
                qPrintable(Text(Row, "public_address")),
                static_cast<long long>(Row.value("dial_ms").toDouble()), qPrintable(Error));
  }
}

}  // namespace

int RunDravikctl(int argc, char** argv) {
  QCoreApplication App(argc, argv);
  std::string ConfigFile;
  std::string Command;
  QString Since;
  bool Json = false;
  for (int I = 1; I < argc; ++I) {
    const std::string Arg = argv[I];
    if (Arg == "--help" || Arg == "-h") {
      std::fputs(Usage, stdout);
      return ExitOk;
    } else if (Arg == "--json") {
      Json = true;
    } else if (Arg == "--config" && I + 1 < argc) {
      ConfigFile = argv[++I];
    } else if (Arg == "--since" && I + 1 < argc) {
      Since = QString::fromLocal8Bit(argv[++I]);
    } else if (Command.empty() && Arg.rfind("--", 0) != 0) {
      Command = Arg;
    } else {
      return Fail(ExitUsage, "unexpected argument \"" + Arg + "\"\n" + Usage);
    }
  }
  const bool Known = Command == "status" || Command == "rotate" || Command == "pause" ||
                     Command == "resume" || Command == "history";
  if (!Known)
    return Fail(ExitUsage,
                (Command.empty() ? "no command given" : "unknown command \"" + Command + "\"") +
                    std::string("\n") + Usage);
  if (!Since.isEmpty() && Command != "history")
    return Fail(ExitUsage, "--since goes with history only");
  qint64 SinceMs = 0;
  if (!Since.isEmpty() && !ParseSince(Since, SinceMs))
    return Fail(ExitUsage, "--since takes an ISO 8601 time or an age such as 30m, 12h or 7d");

  if (ConfigFile.empty()) ConfigFile = DefaultServiceConfigFile();
  TServiceConfig Config;
  std::string Problem = LoadServiceConfig(ConfigFile, Config);
  if (!Problem.empty()) return Fail(ExitUnreachable, "the service's configuration: " + Problem);
  std::string Token;
  const std::string TokenFile =
      !Config.TokenFile.empty()
          ? Config.TokenFile
          : (Config.StateDir.empty() ? ServiceStateDir() : Config.StateDir) + "/token";
  Problem = LoadControlToken(TokenFile, false, Token);
  if (!Problem.empty()) return Fail(ExitUnreachable, "control token: " + Problem);

  TControlEndpoint Endpoint;
  Endpoint.SocketPath = Config.ListenSocket;
  Endpoint.Address = Config.ListenAddress;
  Endpoint.Port = Config.ListenPort;
  const std::string Method = Command == "status" || Command == "history" ? "GET" : "POST";
  // The history comes a page at a time; each answer names the next.
  QJsonArray AllRows;
  qint64 After = 0;
  bool Headed = false;
  for (;;) {
    std::string Target = "/" + Command;
    if (Command == "history") {
      Target += "?since=" + std::to_string(SinceMs);
      if (After != 0) Target += "&after=" + std::to_string(After);
    }
    const TControlAnswer Reply = AskControl(Endpoint, Method, Target, Token);
    if (Reply.Status == 0)
      return Fail(ExitUnreachable,
                  "the service at " + Endpoint.Text() + " cannot be reached: " + Reply.Problem);
    const QJsonObject Answer = QJsonDocument::fromJson(Reply.Body).object();
    if (Reply.Status == 401)
      return Fail(ExitUnreachable, "the service refused the token in " + TokenFile);
    if (Reply.Status != 200) {
      const QString Error = Text(Answer, "error");
      return Fail(ExitFailed, Error.isEmpty()
                                  ? "the service answered " + std::to_string(Reply.Status)
                                  : Error.toStdString());
    }
    if (Command != "history") {
      if (Json) {
        std::printf("%s\n", QJsonDocument(Answer).toJson(QJsonDocument::Indented).constData());
      } else if (Command == "status") {
        PrintStatus(Answer);
      } else {
        std::printf("%s\n", qPrintable(Text(Answer, "result")));
      }
      break;
    }
    const QJsonArray Rows = Answer.value("rows").toArray();
    if (Json) {
      for (const QJsonValue& Row : Rows) AllRows.append(Row);
    } else {
      if (!Headed && !Rows.isEmpty()) PrintHistoryHeading();
      Headed = Headed || !Rows.isEmpty();
      PrintHistory(Rows);
    }
    const qint64 Next = Answer.value("next").toVariant().toLongLong();
    if (Next <= After) break;
    After = Next;
  }
  if (Command == "history") {
    if (Json) {
      std::printf("%s\n", QJsonDocument(QJsonObject{{"rows", AllRows}})
                              .toJson(QJsonDocument::Indented)
                              .constData());
    } else if (!Headed) {
      std::printf("no dials recorded\n");
    }
  }
  return ExitOk;
}
