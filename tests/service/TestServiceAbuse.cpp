// The service under abuse, in one process with the rotation on the test
// clock against the simulated service and the control server on real
// sockets: what requests may and may not do (token before body, caps on
// heads and bodies, HEAD, HTTP/1.0, Connection: close), a large body
// without the token, pipelined floods, idle connections under a lowered
// descriptor limit, the cap per client, the history's pages, and a history
// held by another process. After each abuse the memory held for clients is
// within the caps and the rotation goes on.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <memory>

#include "ServiceTestSupport.h"
#include "TControlServer.h"
#include "THistory.h"
#include "TRotation.h"
#include "TServiceLog.h"
#include "TSimServiceDir.h"

namespace {

const QByteArray Token = "0123456789abcdef0123456789abcdef";
const QByteArray Authorization = "Authorization: Bearer " + Token + "\r\n";

int ConnectTo(int APort) {
  const int Fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in Address{};
  Address.sin_family = AF_INET;
  Address.sin_port = htons(static_cast<uint16_t>(APort));
  Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (Fd < 0 || connect(Fd, reinterpret_cast<sockaddr*>(&Address), sizeof Address) != 0) {
    if (Fd >= 0) close(Fd);
    return -1;
  }
  fcntl(Fd, F_SETFL, fcntl(Fd, F_GETFL) | O_NONBLOCK);
  return Fd;
}

struct TReply {
  int Status = 0;
  QByteArray Head;
  QByteArray Body;
  bool Closed = false;  // the server ended the connection
};

// Takes what the server sent on AFd so far into AText; true once it has
// ended the connection.
bool Take(int AFd, QByteArray& AText) {
  char Buffer[65536];
  for (;;) {
    const ssize_t Got = recv(AFd, Buffer, sizeof Buffer, 0);
    if (Got > 0) {
      AText.append(Buffer, Got);
      continue;
    }
    return Got == 0 || (errno != EAGAIN && errno != EINTR);
  }
}

// One answer from the server in this process (its events run meanwhile):
// the head and a body of its Content-Length (none for HEAD); with
// AWaitClose also the end of the connection.
TReply ReadReply(int AFd, bool AWaitClose = false, bool ANoBody = false) {
  TReply Reply;
  QByteArray Text;
  QElapsedTimer Waited;
  Waited.start();
  while (Waited.elapsed() < 10000) {
    QCoreApplication::processEvents();
    Reply.Closed = Take(AFd, Text);
    const qsizetype End = Text.indexOf("\r\n\r\n");
    if (End >= 0) {
      const QByteArray Head = Text.left(End + 4);
      const qsizetype At = Head.indexOf("Content-Length: ");
      const qsizetype Length =
          ANoBody || At < 0 ? 0 : Head.mid(At + 16).split('\r').front().toLongLong();
      if (Text.size() >= End + 4 + Length && (!AWaitClose || Reply.Closed)) {
        Reply.Head = Head;
        Reply.Status = Head.mid(9, 3).toInt();
        Reply.Body = Text.mid(End + 4);
        return Reply;
      }
    }
    if (Reply.Closed) break;
    QThread::usleep(200);
  }
  return Reply;
}

size_t ResidentBytes() {
  QFile Statm("/proc/self/statm");
  if (!Statm.open(QIODevice::ReadOnly)) return 0;
  const QList<QByteArray> Fields = Statm.readAll().split(' ');
  return Fields.size() > 1 ? Fields[1].toULongLong() * static_cast<size_t>(sysconf(_SC_PAGESIZE))
                           : 0;
}

// The child's part of the idle-connections test: opens COUNT connections to
// PORT, says so, and keeps them, sending nothing, until its input ends.
int IdleClients(int APort, int ACount) {
  rlimit Limit{};
  getrlimit(RLIMIT_NOFILE, &Limit);
  Limit.rlim_cur = Limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &Limit);
  int Open = 0;
  for (int I = 0; I < ACount; ++I) Open += ConnectTo(APort) >= 0;
  std::printf("open %d\n", Open);
  std::fflush(stdout);
  while (std::getchar() != EOF) {
  }
  return 0;
}

}  // namespace

class TestServiceAbuse : public QObject {
  Q_OBJECT

 private:
  TSimServiceDir FDir;
  QTemporaryDir FWork;
  TServiceLog FLog{false};
  QStringList FLogLines;
  std::unique_ptr<THistory> FHistory;
  std::unique_ptr<TRotation> FRotation;
  std::unique_ptr<TControlServer> FServer;
  size_t FRows = 0;
  std::vector<int> FSockets;
  rlimit FDescriptors{};

  void Serve(TControlLimits ALimits = {}) {
    FServer =
        std::make_unique<TControlServer>(*FRotation, FHistory.get(), Token.toStdString(), ALimits);
    QCOMPARE(FServer->Listen("127.0.0.1", 0), std::string());
  }

  int Connect() {
    const int Fd = ConnectTo(FServer->Port());
    if (Fd >= 0) FSockets.push_back(Fd);
    return Fd;
  }

  TReply Ask(const QByteArray& ARequest, bool AWaitClose = false) {
    const int Fd = Connect();
    if (Fd < 0) return {};
    send(Fd, ARequest.constData(), static_cast<size_t>(ARequest.size()), MSG_NOSIGNAL);
    return ReadReply(Fd, AWaitClose);
  }

  bool Started() {
    std::string Problem;
    return FRotation->Start(Problem) && WaitRows(1);
  }

  bool WaitRows(size_t ACount) {
    return AdvanceUntil([&] { return FRows >= ACount; }, 600000, 100,
                        [&] { return DialOnItsWay(FRotation.get()); });
  }

  // The rotation goes on: the next turn's row comes, and the line is up.
  void RotationGoesOn() {
    const size_t Before = FRows;
    QVERIFY(WaitRows(Before + 1));
    QCOMPARE(FRotation->Phase(), TRotation::TPhase::Online);
    QVERIFY(IsEntryConnected("Line"));
  }

 private slots:
  void init() {
    FDir.WritePhonebook("[Line]\nUserName=u\nPassword=p\nDialSeconds=0\n");
    QFile::remove(FWork.filePath("h.sqlite"));
    FHistory = std::make_unique<THistory>();
    QCOMPARE(FHistory->Open(FWork.filePath("h.sqlite").toStdString()), std::string());
    FLogLines.clear();
    FLog.Tap = [this](TServiceLog::TPriority, const std::string& ALine) {
      FLogLines << QString::fromStdString(ALine);
    };
    FHistory->WriteInBackground([this](bool AProblem, const std::string& AText) {
      FLog.Write(AProblem ? TServiceLog::LogError : TServiceLog::LogNotice, AText);
    });
    TServiceConfig Config;
    Config.Entry = "Line";
    FRotation =
        std::make_unique<TRotation>(nullptr, Config, FLog, FHistory.get(), nullptr, nullptr);
    FRows = 0;
    FRotation->OnRecorded = [this](const TDialRecord&) { ++FRows; };
    getrlimit(RLIMIT_NOFILE, &FDescriptors);
  }

  void cleanup() {
    for (const int Fd : FSockets) close(Fd);
    FSockets.clear();
    FServer.reset();
    FRotation.reset();
    FHistory.reset();
    setrlimit(RLIMIT_NOFILE, &FDescriptors);
    HangUpEntry("Line");
  }

  // One request on a fresh connection: its answer, whether a body comes
  // with it, and whether the server ends the connection after it (a
  // connection kept is asked once more).
  void Requests_data() {
    QTest::addColumn<QByteArray>("Request");
    QTest::addColumn<int>("Status");
    QTest::addColumn<bool>("Body");
    QTest::addColumn<bool>("Closed");
    const QByteArray Status = "GET /status HTTP/1.1\r\nHost: d\r\n";
    QTest::newRow("bearer in lower case") << Status + "Authorization: bearer " + Token + "\r\n\r\n"
                                          << 200 << true << false;
    QTest::newRow("BEARER, blanks before the token")
        << Status + "Authorization: BEARER   " + Token + "\r\n\r\n"
        << 200 << true << false;
    QTest::newRow("HEAD") << "HEAD /status HTTP/1.1\r\n" + Authorization + "\r\n"
                          << 200 << false << false;
    QTest::newRow("HEAD of the history")
        << "HEAD /history?limit=5 HTTP/1.1\r\n" + Authorization + "\r\n"
        << 200 << false << false;
    QTest::newRow("HTTP/1.0") << "GET /status HTTP/1.0\r\n" + Authorization + "\r\n"
                              << 200 << true << true;
    QTest::newRow("Connection: close")
        << Status + Authorization + "Connection: keep-alive, Close\r\n\r\n"
        << 200 << true << true;
    QTest::newRow("a small body, read and let go")
        << "POST /pause HTTP/1.1\r\n" + Authorization + "Content-Length: 2\r\n\r\n{}" << 200 << true
        << false;
    QTest::newRow("no token") << Status + "\r\n" << 401 << true << true;
    QTest::newRow("no token, HEAD")
        << QByteArray("HEAD /status HTTP/1.1\r\n\r\n") << 401 << false << true;
    QTest::newRow("two Authorization fields")
        << Status + Authorization + "Authorization: Bearer x\r\n\r\n"
        << 401 << true << true;
    QTest::newRow("token without a scheme") << Status + "Authorization: " + Token + "\r\n\r\n"
                                            << 401 << true << true;
    QTest::newRow("unknown path with the token")
        << "GET /secret HTTP/1.1\r\n" + Authorization + "\r\n"
        << 404 << true << false;
    QTest::newRow("chunked body with the token")
        << "POST /rotate HTTP/1.1\r\n" + Authorization + "Transfer-Encoding: chunked\r\n\r\n2\r\n{}"
        << 411 << true << true;
    QTest::newRow("body over the cap with the token")
        << "POST /rotate HTTP/1.1\r\n" + Authorization + "Content-Length: 1025\r\n\r\n"
        << 413 << true << true;
    QTest::newRow("head over the cap")
        << Status + Authorization + "X-Pad: " + QByteArray(8200, 'p') + "\r\n\r\n"
        << 431 << true << true;
    QTest::newRow("too many fields")
        << Status + Authorization + QByteArray("X-A: b\r\n").repeated(70) + "\r\n"
        << 431 << true << true;
    QTest::newRow("HTTP/2.0") << "GET /status HTTP/2.0\r\n" + Authorization + "\r\n"
                              << 505 << true << true;
    QTest::newRow("folded field") << Status + Authorization + "X-A: b\r\n c\r\n\r\n"
                                  << 400 << true << true;
    QTest::newRow("two lengths") << "POST /pause HTTP/1.1\r\n" + Authorization +
                                        "Content-Length: 0\r\nContent-Length: 0\r\n\r\n"
                                 << 400 << true << true;
  }
  void Requests() {
    QFETCH(QByteArray, Request);
    QFETCH(int, Status);
    QFETCH(bool, Body);
    QFETCH(bool, Closed);
    Serve();
    QVERIFY(Started());
    const int Fd = Connect();
    QVERIFY(Fd >= 0);
    QCOMPARE(send(Fd, Request.constData(), static_cast<size_t>(Request.size()), MSG_NOSIGNAL),
             static_cast<ssize_t>(Request.size()));
    const TReply Reply = ReadReply(Fd, Closed, Request.startsWith("HEAD"));
    QCOMPARE(Reply.Status, Status);
    QVERIFY2(Reply.Head.contains("\r\nContent-Length: ") &&
                 !Reply.Head.contains("\r\nContent-Length: 0\r\n"),
             Reply.Head.constData());
    QCOMPARE(!Reply.Body.isEmpty(), Body);
    QCOMPARE(Reply.Head.contains("\r\nConnection: close\r\n"), Closed);
    QCOMPARE(Reply.Closed, Closed);
    if (Status == 401) QVERIFY(!Reply.Body.contains("Line"));
    if (!Closed) {
      const QByteArray Again = "GET /status HTTP/1.1\r\n" + Authorization + "\r\n";
      send(Fd, Again.constData(), static_cast<size_t>(Again.size()), MSG_NOSIGNAL);
      const TReply Second = ReadReply(Fd);
      QCOMPARE(Second.Status, 200);
      QVERIFY(QJsonDocument::fromJson(Second.Body).object().contains("phase"));
    }
  }

  // Four 100 MB bodies without the token: each is refused from its head,
  // the body is not taken in, and the memory stays where it was.
  void LargeBodiesWithoutToken() {
    Serve();
    QVERIFY(Started());
    const size_t Resident = ResidentBytes();
    constexpr int Clients = 4;
    constexpr qint64 BodyBytes = 100 * 1000 * 1000;
    int Fds[Clients];
    qint64 Sent[Clients] = {};
    bool Ended[Clients] = {};
    QByteArray Answers[Clients];
    const QByteArray Head =
        "POST /rotate HTTP/1.1\r\nContent-Length: " + QByteArray::number(BodyBytes) + "\r\n\r\n";
    for (int I = 0; I < Clients; ++I) {
      Fds[I] = Connect();
      QVERIFY(Fds[I] >= 0);
      QCOMPARE(send(Fds[I], Head.constData(), static_cast<size_t>(Head.size()), MSG_NOSIGNAL),
               static_cast<ssize_t>(Head.size()));
    }
    const QByteArray Chunk(64 * 1024, 'b');
    size_t MostHeld = 0;
    QElapsedTimer Waited;
    Waited.start();
    while (Waited.elapsed() < 20000) {
      bool AllEnded = true;
      for (int I = 0; I < Clients; ++I) {
        if (Ended[I]) continue;
        AllEnded = false;
        const ssize_t Put = send(Fds[I], Chunk.constData(), static_cast<size_t>(Chunk.size()),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (Put > 0) Sent[I] += Put;
        const bool Closed = Take(Fds[I], Answers[I]);
        if ((Put < 0 && errno != EAGAIN) || Closed || Sent[I] >= BodyBytes) Ended[I] = true;
      }
      QCoreApplication::processEvents();
      MostHeld = std::max(MostHeld, FServer->HeldBytes());
      if (AllEnded) break;
    }
    for (int I = 0; I < Clients; ++I) {
      QVERIFY2(Ended[I], qPrintable(QString::number(Sent[I])));
      QVERIFY2(Answers[I].startsWith("HTTP/1.1 401 "), Answers[I].left(40).constData());
      // What the kernel's buffers and the lingering close take; not the body.
      QVERIFY2(Sent[I] < 32 * 1024 * 1024, qPrintable(QString::number(Sent[I])));
    }
    QVERIFY2(MostHeld <= FServer->Limits().MaxHeadBytes, qPrintable(QString::number(MostHeld)));
    QTRY_COMPARE_WITH_TIMEOUT(FServer->Connections(), 0, 5000);
    const qint64 Grown = static_cast<qint64>(ResidentBytes()) - static_cast<qint64>(Resident);
    QVERIFY2(Grown < 32 * 1024 * 1024, qPrintable(QString::number(Grown)));
    RotationGoesOn();
  }

  // Requests sent back to back while nothing is read: without the token
  // the first is refused and the connection ended; with it, the answers
  // stop once the client's buffers are full, the server holds one answer at
  // most, and the connection ends when nothing is taken for the idle time.
  void PipelinedFlood_data() {
    QTest::addColumn<bool>("WithToken");
    QTest::newRow("without the token") << false;
    QTest::newRow("with the token") << true;
  }
  void PipelinedFlood() {
    QFETCH(bool, WithToken);
    Serve();
    QVERIFY(Started());
    const int Fd = Connect();
    QVERIFY(Fd >= 0);
    const QByteArray One =
        "GET /status HTTP/1.1\r\nHost: d\r\n" + (WithToken ? Authorization : QByteArray()) + "\r\n";
    const QByteArray Many = One.repeated(1000);
    qint64 Sent = 0;
    int Stalled = 0;
    size_t MostHeld = 0;
    QElapsedTimer Waited;
    Waited.start();
    // Until the kernel takes no more for a while, or the server has gone.
    while (Waited.elapsed() < 20000 && Stalled < 200) {
      const ssize_t Put =
          send(Fd, Many.constData(), static_cast<size_t>(Many.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
      if (Put > 0) {
        Sent += Put;
        Stalled = 0;
      } else if (errno == EAGAIN) {
        ++Stalled;
        QThread::usleep(500);
      } else {
        break;
      }
      QCoreApplication::processEvents();
      MostHeld = std::max(MostHeld, FServer->HeldBytes());
    }
    QVERIFY2(MostHeld <= FServer->Limits().MaxHeadBytes + 1024,
             qPrintable(QString::number(MostHeld)));
    if (WithToken) {
      QCOMPARE(FServer->Connections(), 1);
      QVERIFY(Sent > Many.size());
      // Nothing taken for the idle time: the connection goes.
      QVERIFY(AdvanceUntil([&] { return FServer->Connections() == 0; }, 12000, 500));
    } else {
      QByteArray Answer;
      Take(Fd, Answer);
      QVERIFY2(Answer.startsWith("HTTP/1.1 401 "), Answer.left(40).constData());
      QCOMPARE(Answer.count("HTTP/1.1"), 1);
      QVERIFY(AdvanceUntil([&] { return FServer->Connections() == 0; }, 3000, 500));
    }
    RotationGoesOn();
  }

  // 300 connections that send nothing, from another process, with 256
  // descriptors: the server takes half of them for connections and leaves
  // the rest in the kernel's queue, without trying again and again; the
  // rotation still dials; idle connections go after 10 s, and a request
  // behind them is answered.
  void IdleConnectionsFewDescriptors() {
    rlimit Low = FDescriptors;
    Low.rlim_cur = 256;
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &Low), 0);
    TControlLimits Limits;
    // All come from this user; the cap per client has a test of its own.
    Limits.MaxPerClient = 1000;
    Serve(Limits);
    QCOMPARE(FServer->Limits().MaxConnections, 128);
    QVERIFY(Started());
    QProcess Idle;
    Idle.start(QCoreApplication::applicationFilePath(),
               {"--idle-clients", QString::number(FServer->Port()), "300"});
    QVERIFY(Idle.waitForStarted(10000));
    QVERIFY(Idle.waitForReadyRead(20000));
    QCOMPARE(Idle.readLine().trimmed(), QByteArray("open 300"));
    QTRY_COMPARE_WITH_TIMEOUT(FServer->Connections(), 128, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!FServer->Accepting(), 5000);
    const int Mine = Connect();
    QVERIFY(Mine >= 0);
    const QByteArray Request = "GET /status HTTP/1.1\r\n" + Authorization + "\r\n";
    send(Mine, Request.constData(), static_cast<size_t>(Request.size()), MSG_NOSIGNAL);
    RotationGoesOn();
    QByteArray Answer;
    QVERIFY(AdvanceUntil(
        [&] {
          Take(Mine, Answer);
          return Answer.startsWith("HTTP/1.1 200 ");
        },
        60000, 500));
    QVERIFY(FServer->Connections() <= 128);
    Idle.closeWriteChannel();
    QVERIFY(Idle.waitForFinished(10000));
    RotationGoesOn();
  }

  // A client at its cap is answered 503 and let go at once; when one of
  // its connections ends, it is served again.
  void CapPerClient() {
    TControlLimits Limits;
    Limits.MaxPerClient = 3;
    Serve(Limits);
    int Held[3];
    for (int& Fd : Held) QVERIFY((Fd = Connect()) >= 0);
    QTRY_COMPARE_WITH_TIMEOUT(FServer->Connections(), 3, 5000);
    const TReply Over = Ask("GET /status HTTP/1.1\r\n" + Authorization + "\r\n", true);
    QCOMPARE(Over.Status, 503);
    QVERIFY(Over.Body.contains("too many connections from this client"));
    QVERIFY(Over.Closed);
    // The refusal waits for the client's end, counted against no client.
    shutdown(FSockets.back(), SHUT_RDWR);
    QTRY_COMPARE_WITH_TIMEOUT(FServer->Connections(), 3, 5000);
    shutdown(Held[0], SHUT_RDWR);
    QTRY_COMPARE_WITH_TIMEOUT(FServer->Connections(), 2, 5000);
    QCOMPARE(Ask("GET /status HTTP/1.1\r\n" + Authorization + "\r\n").Status, 200);
  }

  // Pages of at most the limit asked for, oldest first, each naming the
  // next until the last; no page is larger than 10 000 rows.
  void HistoryPages() {
    Serve();
    for (int I = 1; I <= 25; ++I) {
      TDialRecord Row;
      Row.TimeMs = I * 1000;
      Row.Entry = "Line";
      Row.LineAddress = "100.64.0." + std::to_string(I);
      Row.Outcome = "connected";
      FHistory->Add(Row);
    }
    QVERIFY(FHistory->Flush(10000));
    QStringList Seen;
    QString After;
    QList<int> Sizes;
    for (int Page = 0; Page < 5; ++Page) {
      const TReply Reply = Ask("GET /history?since=3000&limit=10" +
                               (After.isEmpty() ? QByteArray() : "&after=" + After.toUtf8()) +
                               " HTTP/1.1\r\n" + Authorization + "\r\n");
      QCOMPARE(Reply.Status, 200);
      const QJsonObject Answer = QJsonDocument::fromJson(Reply.Body).object();
      const QJsonArray Rows = Answer["rows"].toArray();
      Sizes << Rows.size();
      for (const QJsonValue& Row : Rows) Seen << Row.toObject()["line_address"].toString();
      if (Answer["next"].isNull()) break;
      After = QString::number(Answer["next"].toVariant().toLongLong());
    }
    QCOMPARE(Sizes, (QList<int>{10, 10, 3}));
    QCOMPARE(Seen.size(), 23);
    QCOMPARE(Seen.front(), QString("100.64.0.3"));
    QCOMPARE(Seen.back(), QString("100.64.0.25"));
    QCOMPARE(Seen.removeDuplicates(), qsizetype(0));
    QCOMPARE(Ask("GET /history?limit=10001 HTTP/1.1\r\n" + Authorization + "\r\n").Status, 400);
    QCOMPARE(Ask("GET /history?limit=10000 HTTP/1.1\r\n" + Authorization + "\r\n").Status, 200);
  }

  // Another process holds the history's write lock while the rotation
  // turns: the turns keep their times, the rows wait (said in the log) and
  // are all written, in order, once the lock is let go.
  void HistoryLockedByAnotherProcess() {
    QProcess Locker;
    Locker.start(HISTORY_WRITER, {FWork.filePath("h.sqlite"), "--lock"});
    QVERIFY(Locker.waitForReadyRead(10000));
    QCOMPARE(Locker.readLine().trimmed(), QByteArray("locked"));
    Serve();
    std::string Problem;
    QVERIFY(FRotation->Start(Problem));
    // Each turn is due 65 s after the one before, on the test clock.
    for (size_t Turn = 1; Turn <= 3; ++Turn) {
      QVERIFY(WaitRows(Turn));
      QVERIFY(!AdvanceUntil([&] { return FRows > Turn; }, 63000, 1000));
    }
    const TReply Status = Ask("GET /status HTTP/1.1\r\n" + Authorization + "\r\n");
    QCOMPARE(Status.Status, 200);
    QTRY_VERIFY_WITH_TIMEOUT(FLogLines.filter("kept until they can be written").size() == 1, 10000);
    {
      THistory Reader;
      QCOMPARE(Reader.OpenForReading(FWork.filePath("h.sqlite").toStdString()), std::string());
      QCOMPARE(Reader.Since(0, 100).size(), size_t(0));
    }
    Locker.closeWriteChannel();
    QVERIFY(Locker.waitForFinished(10000));
    QVERIFY(FHistory->Flush(10000));
    QTRY_VERIFY_WITH_TIMEOUT(!FLogLines.filter("rows are written again").isEmpty(), 5000);
    const std::vector<TDialRecord> Rows = FHistory->Since(0, 100);
    QCOMPARE(Rows.size(), FRows);
    for (size_t I = 1; I < Rows.size(); ++I) QVERIFY(Rows[I - 1].TimeMs <= Rows[I].TimeMs);
    RotationGoesOn();
  }
};

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--idle-clients") == 0)
    return IdleClients(std::atoi(argv[2]), std::atoi(argv[3]));
  QCoreApplication App(argc, argv);
  TManualClock::Use();
  TestServiceAbuse Test;
  return QTest::qExec(&Test, argc, argv);
}

#include "TestServiceAbuse.moc"
