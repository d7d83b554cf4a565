// The fleet's Redis traffic against a redis-server of the benchmark's own (a
// Unix socket in a temporary folder, nothing saved):
//   - publish: from the node knowing its new address to the registry
//     (HGET sees it) and to a subscriber of the events channel receiving it;
//     p50 and p99 in milliseconds;
//   - fleet200: 200 nodes in this process, each online 1 s and offline 1 s
//     with max-offline 100 (slots, leaving, new address, heartbeats and
//     sweeps as dravikd sends them); Redis's commands per second and its CPU
//     (user + system, % of one core) over the run, from INFO.

#include <benchmark/benchmark.h>
#include <hiredis/hiredis.h>
#include <poll.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "TComponent.h"
#include "TFleetNode.h"
#include "TRotation.h"
#include "TServiceLog.h"

namespace {

double Percentile(std::vector<double> AValues, double AShare) {
  if (AValues.empty()) return NAN;
  std::sort(AValues.begin(), AValues.end());
  return AValues[static_cast<size_t>(AShare * static_cast<double>(AValues.size() - 1) + 0.5)];
}

struct TRedisServer {
  QTemporaryDir Dir;
  QProcess Process;
  std::string Socket() const { return (Dir.path() + "/redis.sock").toStdString(); }
  bool Start() {
    Process.start("redis-server",
                  {"--port", "0", "--unixsocket", Dir.path() + "/redis.sock", "--save", "",
                   "--appendonly", "no", "--dir", Dir.path(), "--maxclients", "2000"});
    if (!Process.waitForStarted(5000)) return false;
    for (int Try = 0; Try < 100; ++Try) {
      if (redisContext* C = Connect()) {
        redisFree(C);
        return true;
      }
      QThread::msleep(50);
    }
    return false;
  }
  redisContext* Connect() const {
    redisContext* C = redisConnectUnix(Socket().c_str());
    if (C != nullptr && C->err != 0) {
      redisFree(C);
      return nullptr;
    }
    return C;
  }
  ~TRedisServer() {
    Process.kill();
    Process.waitForFinished(5000);
  }
};

// A field of INFO's text as a number.
double InfoField(redisContext* AContext, const char* ASection, const std::string& AName) {
  auto* Reply = static_cast<redisReply*>(redisCommand(AContext, "INFO %s", ASection));
  double Value = NAN;
  if (Reply != nullptr && Reply->type == REDIS_REPLY_STRING) {
    const std::string Text(Reply->str, Reply->len);
    const size_t At = Text.find(AName + ":");
    if (At != std::string::npos) Value = std::stod(Text.substr(At + AName.size() + 1));
  }
  freeReplyObject(Reply);
  return Value;
}

TFleetConfig FleetFor(const TRedisServer& AServer, const std::string& ANode, int AMaxOffline) {
  TFleetConfig Config;
  Config.Enabled = true;
  Config.Socket = AServer.Socket();
  Config.Node = ANode;
  Config.Proxy = "http://{address}:3128";
  Config.MaxOffline = AMaxOffline;
  return Config;
}

TServiceConfig ServiceFor() {
  TServiceConfig Config;
  Config.Entry = "Bench";
  Config.OnlineSeconds = 1;
  Config.OfflineSeconds = 1;
  return Config;
}

void Publish(benchmark::State& AState) {
  TRedisServer Server;
  if (!Server.Start()) {
    AState.SkipWithError("redis-server does not start");
    return;
  }
  TServiceLog Log(false);
  TComponent Root(nullptr);
  auto* Rotation = new TRotation(&Root, ServiceFor(), Log, nullptr, nullptr, nullptr);
  TFleetNode Node(FleetFor(Server, "bench", 1), 1, 1, Log);
  Node.Start(*Rotation);
  redisContext* Subscriber = Server.Connect();
  freeReplyObject(redisCommand(Subscriber, "SUBSCRIBE dravik:events"));
  redisContext* Reader = Server.Connect();
  QElapsedTimer Wait;
  Wait.start();
  while (Wait.elapsed() < 1000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

  std::vector<double> ToRegistry, ToEvent;
  int Turn = 0;
  for (auto _ : AState) {
    TRotation::TStatus Status;
    Status.Entry = "Bench";
    Status.Address = "100.64." + std::to_string(Turn / 250) + "." + std::to_string(Turn % 250 + 1);
    ++Turn;
    QElapsedTimer Clock;
    Clock.start();
    Rotation->OnSettled(Status);
    double Registry = -1, Event = -1;
    while ((Registry < 0 || Event < 0) && Clock.elapsed() < 5000) {
      QCoreApplication::processEvents();
      if (Registry < 0) {
        auto* Reply = static_cast<redisReply*>(redisCommand(Reader, "HGET dravik:nodes bench"));
        if (Reply != nullptr && Reply->type == REDIS_REPLY_STRING &&
            std::string(Reply->str, Reply->len).find("\"" + Status.Address + "\"") !=
                std::string::npos)
          Registry = static_cast<double>(Clock.nsecsElapsed()) / 1e6;
        freeReplyObject(Reply);
      }
      pollfd Readable{Subscriber->fd, POLLIN, 0};
      if (Event < 0 && poll(&Readable, 1, 0) == 1) {
        redisBufferRead(Subscriber);
        void* Reply = nullptr;
        while (redisGetReplyFromReader(Subscriber, &Reply) == REDIS_OK && Reply != nullptr) {
          const auto* Message = static_cast<redisReply*>(Reply);
          if (Message->type == REDIS_REPLY_ARRAY && Message->elements == 3 &&
              std::string(Message->element[2]->str).find("\"" + Status.Address + "\"") !=
                  std::string::npos)
            Event = static_cast<double>(Clock.nsecsElapsed()) / 1e6;
          freeReplyObject(Reply);
        }
      }
    }
    ToRegistry.push_back(Registry);
    ToEvent.push_back(Event);
  }
  redisFree(Subscriber);
  redisFree(Reader);
  AState.counters["registry_p50_ms"] = Percentile(ToRegistry, 0.5);
  AState.counters["registry_p99_ms"] = Percentile(ToRegistry, 0.99);
  AState.counters["event_p50_ms"] = Percentile(ToEvent, 0.5);
  AState.counters["event_p99_ms"] = Percentile(ToEvent, 0.99);
}
BENCHMARK(Publish)->Iterations(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// One simulated node: online 1 s, asks the fleet before it "hangs up", is
// offline 1 s, settles at a new address.
struct TSimNode {
  TRotation* Rotation = nullptr;
  std::unique_ptr<TFleetNode> Node;
  qint64 NextMs = 0;
  bool Online = false;
  int Turn = 0;
  int Index = 0;
};

void Fleet200(benchmark::State& AState) {
  TRedisServer Server;
  if (!Server.Start()) {
    AState.SkipWithError("redis-server does not start");
    return;
  }
  constexpr int Nodes = 200;
  constexpr int RunMs = 20000;
  TServiceLog Log(false);
  TComponent Root(nullptr);
  std::vector<TSimNode> Fleet(Nodes);
  for (int I = 0; I < Nodes; ++I) {
    Fleet[I].Rotation = new TRotation(&Root, ServiceFor(), Log, nullptr, nullptr, nullptr);
    Fleet[I].Node =
        std::make_unique<TFleetNode>(FleetFor(Server, "node-" + std::to_string(I), 100), 1, 1, Log);
    Fleet[I].Node->Start(*Fleet[I].Rotation);
    Fleet[I].Index = I;
    Fleet[I].NextMs = I * 10;  // spread over the first 2 s
  }
  redisContext* Info = Server.Connect();
  for (auto _ : AState) {
    QElapsedTimer Clock;
    Clock.start();
    double Commands0 = NAN, Cpu0 = NAN;
    qint64 MeasureFrom = 3000;
    int Turns = 0;
    while (Clock.elapsed() < RunMs + MeasureFrom) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      const qint64 Now = Clock.elapsed();
      if (std::isnan(Commands0) && Now >= MeasureFrom) {
        Commands0 = InfoField(Info, "stats", "total_commands_processed");
        Cpu0 = InfoField(Info, "cpu", "used_cpu_sys") + InfoField(Info, "cpu", "used_cpu_user");
      }
      for (TSimNode& Sim : Fleet) {
        if (Now < Sim.NextMs) continue;
        if (Sim.Online) {
          std::string For;
          const int64_t Wait = Sim.Rotation->BeforeHangUp(For);
          if (Wait > 0) {
            Sim.NextMs = Now + Wait;
            continue;
          }
          Sim.Online = false;
          Sim.NextMs = Now + 1000;
        } else {
          TRotation::TStatus Status;
          Status.Entry = "Bench";
          Status.Address = "100." + std::to_string(64 + Sim.Index / 250) + "." +
                           std::to_string(Sim.Index % 250) + "." +
                           std::to_string(Sim.Turn++ % 250 + 1);
          Sim.Rotation->OnSettled(Status);
          Sim.Online = true;
          Sim.NextMs = Now + 1000;
          if (Now >= MeasureFrom) ++Turns;
        }
      }
    }
    const double Commands = InfoField(Info, "stats", "total_commands_processed") - Commands0;
    const double Cpu =
        InfoField(Info, "cpu", "used_cpu_sys") + InfoField(Info, "cpu", "used_cpu_user") - Cpu0;
    AState.counters["commands_per_s"] = Commands / (RunMs / 1000.0);
    AState.counters["redis_cpu_percent"] = 100.0 * Cpu / (RunMs / 1000.0);
    AState.counters["turns_per_s"] = Turns / (RunMs / 1000.0);
  }
  redisFree(Info);
}
BENCHMARK(Fleet200)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QTemporaryDir RasDir;
  qputenv("DRAVIK_RAS_DIR", RasDir.path().toLocal8Bit());
  qputenv("DRAVIK_RAS_PROVIDER", "sim");
  QCoreApplication App(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
