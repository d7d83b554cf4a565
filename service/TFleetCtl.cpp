#include "TFleetCtl.h"

#include <hiredis/hiredis.h>

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "TRedisLink.h"

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUnreachable = 3;
// How long dravikctl waits for Redis, to connect and for each reply.
constexpr int RedisLimitMs = 2000;
// A registry entry is a few hundred bytes; anything far larger is not one.
constexpr size_t MaxEntryBytes = 4096;

int Fail(int ACode, const std::string& AText) {
  std::fprintf(stderr, "dravikctl: %s\n", AText.c_str());
  return ACode;
}

struct TReplyFree {
  void operator()(redisReply* AReply) const { freeReplyObject(AReply); }
};
using TReply = std::unique_ptr<redisReply, TReplyFree>;
struct TContextFree {
  void operator()(redisContext* AContext) const { redisFree(AContext); }
};
using TContext = std::unique_ptr<redisContext, TContextFree>;

TReply Ask(redisContext* AContext, const std::vector<std::string>& AArgs) {
  std::vector<const char*> Argv;
  std::vector<size_t> Lengths;
  for (const std::string& Arg : AArgs) {
    Argv.push_back(Arg.data());
    Lengths.push_back(Arg.size());
  }
  return TReply(static_cast<redisReply*>(
      redisCommandArgv(AContext, static_cast<int>(Argv.size()), Argv.data(), Lengths.data())));
}

// Connected, authenticated and on its database; else null with AProblem said.
TContext Open(const TFleetConfig& AConfig, std::string& AProblem) {
  const timeval Limit{RedisLimitMs / 1000, (RedisLimitMs % 1000) * 1000};
  TContext Context(AConfig.Socket.empty()
                       ? redisConnectWithTimeout(AConfig.Host.c_str(), AConfig.Port, Limit)
                       : redisConnectUnixWithTimeout(AConfig.Socket.c_str(), Limit));
  const std::string Place = "Redis at " + RedisPlace(AConfig);
  if (!Context || Context->err != 0) {
    AProblem = Place + " cannot be reached: " + (Context ? Context->errstr : "out of memory");
    return nullptr;
  }
  redisSetTimeout(Context.get(), Limit);
  std::vector<std::vector<std::string>> Steps;
  if (!AConfig.Password.empty()) {
    Steps.push_back(AConfig.User.empty()
                        ? std::vector<std::string>{"AUTH", AConfig.Password}
                        : std::vector<std::string>{"AUTH", AConfig.User, AConfig.Password});
  }
  if (AConfig.Database != 0) Steps.push_back({"SELECT", std::to_string(AConfig.Database)});
  for (const auto& Step : Steps) {
    const TReply Reply = Ask(Context.get(), Step);
    if (!Reply) {
      AProblem = Place + " did not answer: " + Context->errstr;
      return nullptr;
    }
    if (Reply->type == REDIS_REPLY_ERROR) {
      AProblem = Place +
                 (Step[0] == "AUTH" ? " refused the password of " + AConfig.PasswordFile
                                    : " refused " + Step[0]) +
                 ": " + std::string(Reply->str, std::min<size_t>(Reply->len, 200));
      return nullptr;
    }
  }
  return Context;
}

int List(redisContext* AContext, const TFleetConfig& AConfig, bool AJson) {
  const TReply Reply = Ask(AContext, {"HGETALL", AConfig.Prefix + ":nodes"});
  if (!Reply || Reply->type != REDIS_REPLY_ARRAY)
    return Fail(ExitFailed,
                "Redis gave no list of nodes" +
                    (Reply && Reply->type == REDIS_REPLY_ERROR
                         ? ": " + std::string(Reply->str, std::min<size_t>(Reply->len, 200))
                         : std::string()));
  const qint64 Now = QDateTime::currentMSecsSinceEpoch();
  QJsonArray Nodes;
  for (size_t I = 0; I + 1 < Reply->elements; I += 2) {
    const redisReply* Name = Reply->element[I];
    const redisReply* Value = Reply->element[I + 1];
    if (Name->type != REDIS_REPLY_STRING || Value->type != REDIS_REPLY_STRING ||
        Value->len > MaxEntryBytes)
      continue;
    const std::string NodeName(Name->str, Name->len);
    if (!IsFleetName(NodeName)) continue;
    const QJsonObject Entry =
        QJsonDocument::fromJson(QByteArray(Value->str, static_cast<int>(Value->len))).object();
    QJsonObject Node{
        {"node", QString::fromStdString(NodeName)},
        {"address", Entry["address"].toString()},
        {"public", Entry["public"].toString()},
        {"proxy", Entry["proxy"].toString()},
        {"since", Entry["since"].toInteger()},
        {"turn", Entry["turn"].toInteger()},
        {"age_seconds", std::max<qint64>(0, (Now - Entry["since"].toInteger()) / 1000)}};
    Nodes.append(Node);
  }
  std::vector<QJsonObject> Sorted;
  for (const auto& Node : Nodes) Sorted.push_back(Node.toObject());
  std::sort(Sorted.begin(), Sorted.end(), [](const QJsonObject& A, const QJsonObject& B) {
    return A["node"].toString() < B["node"].toString();
  });
  if (AJson) {
    QJsonArray Out;
    for (const auto& Node : Sorted) Out.append(Node);
    std::printf("%s\n", QJsonDocument(Out).toJson(QJsonDocument::Indented).constData());
    return ExitOk;
  }
  std::printf("%-20s %-16s %-8s %s\n", "NODE", "ADDRESS", "AGE", "PROXY");
  for (const auto& Node : Sorted) {
    const QString Shown = Node["public"].toString().isEmpty() ? Node["address"].toString()
                                                              : Node["public"].toString();
    std::printf("%-20s %-16s %-8s %s\n", qPrintable(Node["node"].toString()), qPrintable(Shown),
                (std::to_string(Node["age_seconds"].toInteger()) + "s").c_str(),
                qPrintable(Node["proxy"].toString()));
  }
  return ExitOk;
}

}  // namespace

std::string CheckFleetArgs(const std::vector<std::string>& AArgs) {
  if (AArgs.empty()) return "fleet takes list, rotate, pause or resume";
  const std::string& Verb = AArgs[0];
  if (Verb == "list") return AArgs.size() == 1 ? std::string() : "fleet list takes no node";
  if (Verb != "rotate" && Verb != "pause" && Verb != "resume")
    return "unknown fleet command \"" + Verb + "\"";
  if (AArgs.size() != 2) return "fleet " + Verb + " takes one NODE or --all";
  if (AArgs[1] != "--all" && !IsFleetName(AArgs[1]))
    return "a node's name has 1 to 64 letters, digits, \".\", \"_\" or \"-\"";
  return {};
}

int RunFleetCommand(const TFleetConfig& AConfig, const std::vector<std::string>& AArgs,
                    bool AJson) {
  std::string Problem;
  const TContext Context = Open(AConfig, Problem);
  if (!Context) return Fail(ExitUnreachable, Problem);
  if (AArgs[0] == "list") return List(Context.get(), AConfig, AJson);
  const bool All = AArgs[1] == "--all";
  const std::string Channel = AConfig.Prefix + ":control" + (All ? "" : ":" + AArgs[1]);
  const TReply Reply = Ask(Context.get(), {"PUBLISH", Channel, AArgs[0]});
  if (!Reply || Reply->type != REDIS_REPLY_INTEGER)
    return Fail(ExitFailed, "Redis did not take the request");
  if (AJson) {
    std::printf("{\"sent\":\"%s\",\"listening\":%lld}\n", AArgs[0].c_str(), Reply->integer);
  } else {
    std::printf("%s sent to %lld node%s\n", AArgs[0].c_str(), Reply->integer,
                Reply->integer == 1 ? "" : "s");
  }
  if (Reply->integer == 0)
    return Fail(ExitFailed, All ? "no node listens" : "node " + AArgs[1] + " does not listen");
  return ExitOk;
}
