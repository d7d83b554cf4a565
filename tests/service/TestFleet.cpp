// A fleet of real dravikd processes, each on its own simulated dial-up
// service, behind a real redis-server the test starts on a private socket:
// every rotation told, never more nodes out than allowed, a killed node gone
// by itself, Redis killed and back without the rotation waiting for it, and
// a password Redis refuses named so.

#include <hiredis/hiredis.h>
#include <poll.h>
#include <signal.h>

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <map>
#include <memory>
#include <set>

#include "ServiceTestSupport.h"
#include "THistory.h"

namespace {

QProcessEnvironment Environment(const QString& ARasDir) {
  QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
  Environment.remove("JOURNAL_STREAM");
  Environment.remove("NOTIFY_SOCKET");
  Environment.remove("STATE_DIRECTORY");
  Environment.insert("DRAVIK_RAS_DIR", ARasDir);
  Environment.insert("DRAVIK_RAS_PROVIDER", "sim");
  return Environment;
}

// redis-server of the test's own: no saving, nothing on disk, a Unix socket
// in the test's folder (or a loopback port with a password).
class TRedis {
 public:
  TRedis(const QString& AFolder, int APort = 0, const QString& APassword = {})
      : FFolder(AFolder), FPort(APort), FPassword(APassword) {}
  ~TRedis() { Kill(); }
  QString Socket() const { return FFolder + "/redis.sock"; }

  bool Start() {
    QStringList Args{"--port",       QString::number(FPort),
                     "--save",       "",
                     "--appendonly", "no",
                     "--dir",        FFolder,
                     "--bind",       "127.0.0.1"};
    if (FPort == 0)
      Args << "--unixsocket" << Socket() << "--unixsocketperm"
           << "700";
    if (!FPassword.isEmpty()) Args << "--requirepass" << FPassword;
    FProcess = std::make_unique<QProcess>();
    FProcess->start("redis-server", Args);
    if (!FProcess->waitForStarted(5000)) return false;
    for (int Try = 0; Try < 100; ++Try) {
      redisContext* Context = Connect();
      if (Context != nullptr) {
        redisFree(Context);
        return true;
      }
      QTest::qWait(50);
    }
    return false;
  }
  void Kill() {
    if (!FProcess) return;
    ::kill(static_cast<pid_t>(FProcess->processId()), SIGKILL);
    FProcess->waitForFinished(5000);
    FProcess.reset();
  }
  redisContext* Connect() const {
    redisContext* Context = FPort == 0 ? redisConnectUnix(Socket().toUtf8().constData())
                                       : redisConnect("127.0.0.1", FPort);
    if (Context != nullptr && Context->err != 0) {
      redisFree(Context);
      return nullptr;
    }
    if (Context != nullptr && !FPassword.isEmpty())
      freeReplyObject(redisCommand(Context, "AUTH %s", FPassword.toUtf8().constData()));
    return Context;
  }
  // Each field of the hash and its value; empty when Redis cannot be asked.
  std::map<std::string, std::string> Hash(const char* AKey) const {
    std::map<std::string, std::string> Fields;
    redisContext* Context = Connect();
    if (Context == nullptr) return Fields;
    auto* Reply = static_cast<redisReply*>(redisCommand(Context, "HGETALL %s", AKey));
    if (Reply != nullptr && Reply->type == REDIS_REPLY_ARRAY)
      for (size_t I = 0; I + 1 < Reply->elements; I += 2)
        Fields[Reply->element[I]->str] = Reply->element[I + 1]->str;
    freeReplyObject(Reply);
    redisFree(Context);
    return Fields;
  }
  std::vector<std::string> Keys(const char* APattern) const {
    std::vector<std::string> Found;
    redisContext* Context = Connect();
    if (Context == nullptr) return Found;
    auto* Reply = static_cast<redisReply*>(redisCommand(Context, "KEYS %s", APattern));
    if (Reply != nullptr && Reply->type == REDIS_REPLY_ARRAY)
      for (size_t I = 0; I < Reply->elements; ++I) Found.push_back(Reply->element[I]->str);
    freeReplyObject(Reply);
    redisFree(Context);
    return Found;
  }

 private:
  QString FFolder;
  int FPort;
  QString FPassword;
  std::unique_ptr<QProcess> FProcess;
};

struct TNode {
  QString Name;
  QString Folder;
  QString Config;
  std::unique_ptr<QProcess> Process;

  ~TNode() {
    if (Process && Process->state() != QProcess::NotRunning) {
      ::kill(static_cast<pid_t>(Process->processId()), SIGKILL);
      Process->waitForFinished(5000);
    }
  }
  QString History() const { return Folder + "/state/history.sqlite"; }
  int Rotations() const {
    THistory Reader;
    if (!Reader.OpenForReading(History().toStdString()).empty()) return -1;
    int Count = 0;
    for (const TDialRecord& Row : Reader.Since(0, 100000)) Count += Row.Outcome == "connected";
    return Count;
  }
};

}  // namespace

class TestFleet : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir FWork;

  // A node's folder: its simulated service, configuration and state.
  std::unique_ptr<TNode> MakeNode(const QString& AName, const QByteArray& AFleet,
                                  int AOnlineSeconds = 2) {
    auto Node = std::make_unique<TNode>();
    Node->Name = AName;
    Node->Folder = FWork.filePath(AName);
    QDir().mkpath(Node->Folder + "/ras");
    WriteTextFile(Node->Folder + "/ras/phonebook.ini",
                  "[Line]\nUserName=u\nPassword=p\nDialSeconds=0.2\n");
    Node->Config = Node->Folder + "/dravikd.conf";
    WriteTextFile(
        Node->Config,
        "[dravikd]\nentry = Line\nonline-seconds = " + QByteArray::number(AOnlineSeconds) +
            "\noffline-seconds = 1\nlisten = unix:" + Node->Folder.toUtf8() +
            "/control.sock\nstate-dir = " + Node->Folder.toUtf8() +
            "/state\n[fleet]\nnode = " + AName.toUtf8() + "\n" + AFleet);
    return Node;
  }

  static void StartNode(TNode& ANode) {
    ANode.Process = std::make_unique<QProcess>();
    ANode.Process->setProcessEnvironment(Environment(ANode.Folder + "/ras"));
    ANode.Process->start(DRAVIKD, {"--config", ANode.Config});
    QVERIFY(ANode.Process->waitForStarted(10000));
  }

 private slots:
  void initTestCase() { QVERIFY(FWork.isValid()); }

  // Three nodes at 2 s online, 1 s offline, one of them out at a time: a
  // subscriber sees every rotation and never two nodes out at once. Then
  // one node is killed outright and Redis after it: the dead node leaves the
  // registry and its slot by itself; the others rotate on without Redis
  // and are all listed again soon after it is back.
  void ThreeNodes() {
    TRedis Redis(FWork.path());
    QVERIFY(Redis.Start());
    const QByteArray Fleet = "redis = unix://" + Redis.Socket().toUtf8() +
                             "\nproxy = http://{address}:3128\nmax-offline = 1\n";
    std::vector<std::unique_ptr<TNode>> Nodes;
    for (const char* Name : {"n1", "n2", "n3"}) Nodes.push_back(MakeNode(Name, Fleet));
    {
      QProcess Check;
      Check.setProcessEnvironment(Environment(Nodes[0]->Folder + "/ras"));
      Check.start(DRAVIKD, {"--config", Nodes[0]->Config, "--check-config"});
      QVERIFY(Check.waitForFinished(10000));
      QVERIFY2(Check.exitCode() == 0, Check.readAllStandardError().constData());
    }

    // The subscriber reads what has come, without blocking, between checks.
    redisContext* Subscriber = Redis.Connect();
    QVERIFY(Subscriber != nullptr);
    auto* Subscribed =
        static_cast<redisReply*>(redisCommand(Subscriber, "SUBSCRIBE dravik:events"));
    QVERIFY(Subscribed != nullptr && Subscribed->type == REDIS_REPLY_ARRAY);
    freeReplyObject(Subscribed);
    for (auto& Node : Nodes) StartNode(*Node);

    std::map<std::string, int> Joined;
    std::map<std::string, std::string> Announced;
    std::set<std::string> Out;
    size_t MostOut = 0;
    auto ReadEvents = [&] {
      pollfd Readable{Subscriber->fd, POLLIN, 0};
      while (poll(&Readable, 1, 0) == 1 && (Readable.revents & POLLIN) != 0) {
        if (redisBufferRead(Subscriber) != REDIS_OK) return;
        void* Reply = nullptr;
        while (redisGetReplyFromReader(Subscriber, &Reply) == REDIS_OK && Reply != nullptr) {
          const auto* Message = static_cast<redisReply*>(Reply);
          if (Message->type == REDIS_REPLY_ARRAY && Message->elements == 3) {
            const QJsonObject Event =
                QJsonDocument::fromJson(QByteArray(Message->element[2]->str)).object();
            const std::string Node = Event["node"].toString().toStdString();
            if (Event["event"] == "leaving") {
              Out.insert(Node);
              MostOut = std::max(MostOut, Out.size());
            } else if (Event["event"] == "address") {
              Out.erase(Node);
              ++Joined[Node];
              Announced[Node] = Event["address"].toString().toStdString();
              QCOMPARE(Event["proxy"].toString().toStdString(),
                       "http://" + Announced[Node] + ":3128");
            }
          }
          freeReplyObject(Reply);
          Reply = nullptr;
        }
      }
    };
    // Once every node is listed, the registry never holds fewer than all
    // but one, and each entry is the node's address last announced.
    QElapsedTimer Clock;
    Clock.start();
    bool AllListed = false;
    size_t FewestListed = 3;
    while (Clock.elapsed() < 12000) {
      QTest::qWait(100);
      ReadEvents();
      const auto Registry = Redis.Hash("dravik:nodes");
      AllListed = AllListed || Registry.size() == 3;
      if (AllListed) FewestListed = std::min(FewestListed, Registry.size());
    }
    QVERIFY(AllListed);
    QCOMPARE(FewestListed, size_t(2));
    QCOMPARE(MostOut, size_t(1));
    const auto Registry = Redis.Hash("dravik:nodes");
    for (const auto& [Name, Json] : Registry) {
      const QJsonObject Entry = QJsonDocument::fromJson(QByteArray::fromStdString(Json)).object();
      QCOMPARE(Entry["address"].toString().toStdString(), Announced[Name]);
    }
    for (auto& Node : Nodes) {
      // Every rotation so far was told (the turn under way may be told next).
      const int Rotations = Node->Rotations();
      QVERIFY2(Rotations >= 2, qPrintable(Node->Name + ": " + QString::number(Rotations)));
      QVERIFY2(Joined[Node->Name.toStdString()] >= Rotations - 1 &&
                   Joined[Node->Name.toStdString()] <= Rotations,
               qPrintable(Node->Name + ": " + QString::number(Joined[Node->Name.toStdString()]) +
                          " told, " + QString::number(Rotations) + " rotated"));
    }

    // n3 dies: gone from the registry within its heartbeat's life (7 s)
    // and the sweep after it, its slot freed within the slot's 10 s.
    ::kill(static_cast<pid_t>(Nodes[2]->Process->processId()), SIGKILL);
    QVERIFY(Nodes[2]->Process->waitForFinished(5000));
    QElapsedTimer Gone;
    Gone.start();
    QTRY_VERIFY_WITH_TIMEOUT(Redis.Hash("dravik:nodes").count("n3") == 0, 10000);
    QVERIFY2(Gone.elapsed() <= 10000, qPrintable(QString::number(Gone.elapsed())));
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
          redisContext* Context = Redis.Connect();
          auto* Reply = static_cast<redisReply*>(redisCommand(Context, "ZSCORE dravik:slots n3"));
          // Lapsed after 10 s, and dropped by the next node that asks.
          const bool Theirs = Reply == nullptr || Reply->type != REDIS_REPLY_NIL;
          freeReplyObject(Reply);
          redisFree(Context);
          return !Theirs;
        }(),
        13000);

    // Redis killed: the nodes rotate on meanwhile, each turn at most the
    // slot's answer limit (3 s) later.
    const int Before1 = Nodes[0]->Rotations();
    const int Before2 = Nodes[1]->Rotations();
    Redis.Kill();
    QTRY_VERIFY_WITH_TIMEOUT(Nodes[0]->Rotations() > Before1 && Nodes[1]->Rotations() > Before2,
                             10000);
    QVERIFY(Redis.Start());
    QElapsedTimer Back;
    Back.start();
    QTRY_VERIFY_WITH_TIMEOUT(Redis.Hash("dravik:nodes").size() == 2, 8000);
    qInfo("registry whole again %lld ms after Redis came back", Back.elapsed());

    for (int I = 0; I < 2; ++I) {
      ::kill(static_cast<pid_t>(Nodes[I]->Process->processId()), SIGTERM);
      QVERIFY(Nodes[I]->Process->waitForFinished(10000));
      const QString Log = QString::fromUtf8(Nodes[I]->Process->readAllStandardError());
      // One line as the outage begins and one as it ends, per connection.
      QVERIFY2(Log.count("unreachable (commands)") == 1, qPrintable(Log));
      QVERIFY2(Log.count("reached again after") == 2, qPrintable(Log));
    }
    redisFree(Subscriber);
  }

  // Redis on a loopback port with a password: dravikctl lists the nodes and
  // rotates the one it names, no other; a node and dravikctl with a wrong
  // password are refused, and say so naming Redis.
  void PasswordAndControl() {
    const int Port = FreePort();
    QVERIFY(Port > 0);
    QTemporaryDir Folder;
    TRedis Redis(Folder.path(), Port, "right-horse");
    QVERIFY(Redis.Start());
    auto PasswordFile = [&](const QString& AName, const QByteArray& AText) {
      const QString Path = Folder.filePath(AName);
      WriteTextFile(Path, AText);
      QFile::setPermissions(Path, QFile::ReadOwner | QFile::WriteOwner);
      return Path.toUtf8();
    };
    const QByteArray Right = "redis = redis://127.0.0.1:" + QByteArray::number(Port) +
                             "\npassword-file = " + PasswordFile("right", "right-horse\n") +
                             "\nprefix = pw\nmax-offline = 1\n";
    const QByteArray Wrong = "redis = redis://127.0.0.1:" + QByteArray::number(Port) +
                             "\npassword-file = " + PasswordFile("wrong", "wrong-horse\n") +
                             "\nprefix = pw\n";
    std::vector<std::unique_ptr<TNode>> Nodes;
    Nodes.push_back(MakeNode("p1", Right, 600));
    Nodes.push_back(MakeNode("p2", Right, 600));
    Nodes.push_back(MakeNode("p3", Wrong, 600));
    for (auto& Node : Nodes) StartNode(*Node);
    QTRY_COMPARE_WITH_TIMEOUT(Redis.Hash("pw:nodes").size(), size_t(2), 10000);

    auto Ctl = [](const QString& AConfig, const QStringList& AArgs, QByteArray& AOut,
                  QByteArray& AErr) {
      QProcess Tool;
      Tool.start(DRAVIKCTL, QStringList{"--config", AConfig} + AArgs);
      if (!Tool.waitForFinished(10000)) return -1;
      AOut = Tool.readAllStandardOutput();
      AErr = Tool.readAllStandardError();
      return Tool.exitCode();
    };
    QByteArray Out, Err;
    QCOMPARE(Ctl(Nodes[0]->Config, {"fleet", "list", "--json"}, Out, Err), 0);
    const QJsonArray Listed = QJsonDocument::fromJson(Out).array();
    QCOMPARE(Listed.size(), 2);
    QCOMPARE(Listed[0].toObject()["node"].toString(), QString("p1"));
    QCOMPARE(Listed[1].toObject()["node"].toString(), QString("p2"));
    QCOMPARE(Listed[0].toObject()["turn"].toInteger(), 1);
    const QString Before = Listed[0].toObject()["address"].toString();

    QCOMPARE(Ctl(Nodes[1]->Config, {"fleet", "rotate", "p1"}, Out, Err), 0);
    QCOMPARE(Out, QByteArray("rotate sent to 1 node\n"));
    auto Entry = [&](const char* ANode) {
      const auto Registry = Redis.Hash("pw:nodes");
      const auto Found = Registry.find(ANode);
      if (Found == Registry.end()) return QJsonObject();
      return QJsonDocument::fromJson(QByteArray::fromStdString(Found->second)).object();
    };
    QTRY_COMPARE_WITH_TIMEOUT(Entry("p1")["turn"].toInteger(), 2, 10000);
    QVERIFY(Entry("p1")["address"].toString() != Before);
    QCOMPARE(Entry("p2")["turn"].toInteger(), 1);
    // Every slot taken by another node: p2, asked to rotate, stays online
    // and says what it waits for, until the slot is free.
    {
      redisContext* Context = Redis.Connect();
      freeReplyObject(redisCommand(Context, "ZADD pw:slots 99999999999999 elsewhere"));
      QCOMPARE(Ctl(Nodes[0]->Config, {"fleet", "rotate", "p2"}, Out, Err), 0);
      QTRY_VERIFY_WITH_TIMEOUT(
          Ctl(Nodes[1]->Config, {"status", "--json"}, Out, Err) == 0 &&
              QJsonDocument::fromJson(Out).object()["waiting_for"].toString() == "a slot",
          5000);
      QTest::qWait(1500);
      QCOMPARE(Entry("p2")["turn"].toInteger(), 1);
      freeReplyObject(redisCommand(Context, "ZREM pw:slots elsewhere"));
      redisFree(Context);
      QTRY_COMPARE_WITH_TIMEOUT(Entry("p2")["turn"].toInteger(), 2, 10000);
    }
    QCOMPARE(Ctl(Nodes[1]->Config, {"fleet", "rotate", "nobody"}, Out, Err), 1);
    QVERIFY2(Err.contains("node nobody does not listen"), Err.constData());

    QCOMPARE(Ctl(Nodes[2]->Config, {"fleet", "list"}, Out, Err), 3);
    QVERIFY2(Err.contains("Redis at 127.0.0.1:" + QByteArray::number(Port) +
                          " refused the password of " + Folder.filePath("wrong").toUtf8()),
             Err.constData());
    ::kill(static_cast<pid_t>(Nodes[2]->Process->processId()), SIGTERM);
    QVERIFY(Nodes[2]->Process->waitForFinished(10000));
    const QByteArray Log = Nodes[2]->Process->readAllStandardError();
    QVERIFY2(Log.contains("unreachable (commands): Redis refused the password"), Log.constData());
    // Refused, it rotates on its own all the same.
    QVERIFY(Nodes[2]->Rotations() >= 1);
  }
};

QTEST_GUILESS_MAIN(TestFleet)
#include "TestFleet.moc"
