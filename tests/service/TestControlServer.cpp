// The control interface over real HTTP, with the rotation on the test clock
// against the simulated service: each request, the token missing or wrong,
// a rotate during a dial, pause and resume, the history.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "RASManager.h"
#include "ServiceTestSupport.h"
#include "TControlServer.h"
#include "THistory.h"
#include "TMetricsPage.h"
#include "TRotation.h"
#include "TServiceLog.h"
#include "TSimServiceDir.h"

namespace {

const std::string Token = "0123456789abcdef0123456789abcdef";

struct TAnswer {
  int Status = 0;
  QJsonObject Body;
  QByteArray Raw;
  QByteArray Authenticate;
  QByteArray ContentType;
};

}  // namespace

class TestControlServer : public QObject {
  Q_OBJECT

 private:
  TSimServiceDir FDir;
  QTemporaryDir FWork;
  TServiceLog FLog{false};
  std::unique_ptr<THistory> FHistory;
  std::unique_ptr<TRotation> FRotation;
  std::unique_ptr<TControlServer> FServer;
  QNetworkAccessManager FManager;
  size_t FRows = 0;

  // One request as a client sends it; AToken null: no Authorization header.
  TAnswer Ask(const QByteArray& AMethod, const QString& APath, const char* AToken = Token.c_str()) {
    QNetworkRequest Request(QUrl(QString("http://127.0.0.1:%1%2").arg(FServer->Port()).arg(APath)));
    if (AToken != nullptr) Request.setRawHeader("Authorization", QByteArray("Bearer ") + AToken);
    QNetworkReply* Reply = FManager.sendCustomRequest(Request, AMethod);
    QElapsedTimer Waited;
    Waited.start();
    while (!Reply->isFinished() && Waited.elapsed() < 10000)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    TAnswer Answer;
    Answer.Status = Reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    Answer.Raw = Reply->readAll();
    Answer.Body = QJsonDocument::fromJson(Answer.Raw).object();
    Answer.Authenticate = Reply->rawHeader("WWW-Authenticate");
    Answer.ContentType = Reply->rawHeader("Content-Type");
    Reply->deleteLater();
    return Answer;
  }

  bool WaitRows(size_t ACount) {
    return AdvanceUntil([&] { return FRows >= ACount; }, 600000, 100,
                        [&] { return DialOnItsWay(FRotation.get()); });
  }

 private slots:
  void init() {
    FDir.WritePhonebook("[Line]\nUserName=u\nPassword=p\nDialSeconds=0\n");
    QFile::remove(FWork.filePath("h.sqlite"));
    FHistory = std::make_unique<THistory>();
    QCOMPARE(FHistory->Open(FWork.filePath("h.sqlite").toStdString()), std::string());
    TServiceConfig Config;
    Config.Entry = "Line";
    FRotation =
        std::make_unique<TRotation>(nullptr, Config, FLog, FHistory.get(), nullptr, nullptr);
    FRows = 0;
    FRotation->OnRecorded = [this](const TDialRecord&) { ++FRows; };
    FServer = std::make_unique<TControlServer>(*FRotation, FHistory.get(), Token);
    QCOMPARE(FServer->Listen("127.0.0.1", 0), std::string());
    QVERIFY(FServer->Port() > 0);
  }

  void cleanup() {
    FServer.reset();
    FRotation.reset();
    FHistory.reset();
    HangUpEntry("Line");
  }

  // Without the right token nothing is answered or done, whatever is asked.
  void TokenMissingOrWrong_data() {
    QTest::addColumn<QByteArray>("Method");
    QTest::addColumn<QString>("Path");
    QTest::addColumn<QByteArray>("Header");
    QTest::newRow("status, no token") << QByteArray("GET") << "/status" << QByteArray();
    QTest::newRow("rotate, no token") << QByteArray("POST") << "/rotate" << QByteArray();
    QTest::newRow("pause, wrong token")
        << QByteArray("POST") << "/pause" << QByteArray("Bearer 0123456789abcdef0123456789abcdeX");
    QTest::newRow("history, token cut short")
        << QByteArray("GET") << "/history" << QByteArray("Bearer 0123456789abcdef");
    QTest::newRow("token without Bearer")
        << QByteArray("GET") << "/status" << QByteArray(Token.c_str());
    QTest::newRow("basic scheme") << QByteArray("GET") << "/status"
                                  << QByteArray("Basic dXNlcjpwYXNz");
    QTest::newRow("unknown path, no token") << QByteArray("GET") << "/secret" << QByteArray();
    QTest::newRow("metrics, no token") << QByteArray("GET") << "/metrics" << QByteArray();
  }
  void TokenMissingOrWrong() {
    QFETCH(QByteArray, Method);
    QFETCH(QString, Path);
    QFETCH(QByteArray, Header);
    std::string Problem;
    QVERIFY(FRotation->Start(Problem));
    QVERIFY(WaitRows(1));
    QNetworkRequest Request(QUrl(QString("http://127.0.0.1:%1%2").arg(FServer->Port()).arg(Path)));
    if (!Header.isEmpty()) Request.setRawHeader("Authorization", Header);
    QNetworkReply* Reply = FManager.sendCustomRequest(Request, Method);
    QTRY_VERIFY_WITH_TIMEOUT(Reply->isFinished(), 10000);
    QCOMPARE(Reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 401);
    QCOMPARE(Reply->rawHeader("WWW-Authenticate"), QByteArray("Bearer"));
    QVERIFY(!Reply->readAll().contains("Line"));
    delete Reply;
    QCOMPARE(FRotation->Phase(), TRotation::TPhase::Online);
  }

  void StatusAndHistory() {
    std::string Problem;
    QVERIFY(FRotation->Start(Problem));
    QVERIFY(WaitRows(2));
    QVERIFY(AdvanceUntil([] { return false; }, 10000) == false);
    const TAnswer Status = Ask("GET", "/status");
    QCOMPARE(Status.Status, 200);
    QCOMPARE(Status.Body["entry"].toString(), QString("Line"));
    QCOMPARE(Status.Body["phase"].toString(), QString("online"));
    QCOMPARE(Status.Body["address"].toString().toStdString(), FRotation->Status().Address);
    QVERIFY(!Status.Body["address"].toString().isEmpty());
    QVERIFY(Status.Body["last_error"].isNull());
    QCOMPARE(Status.Body["waiting_for"].toString(), QString("online time"));
    QCOMPARE(Status.Body["previous_address"].toString().toStdString(),
             FRotation->Status().PreviousAddress);
    QVERIFY(!Status.Body["previous_address"].toString().isEmpty());
    QCOMPARE(Status.Body["dials"].toInt(), 2);
    QCOMPARE(Status.Body["rotations"].toInt(), 2);
    const int Next = Status.Body["next_step_seconds"].toInt();
    QVERIFY2(Next >= 49 && Next <= 51, qPrintable(QString::number(Next)));
    QVERIFY(QDateTime::fromString(Status.Body["since"].toString(), Qt::ISODateWithMs).isValid());

    const TAnswer History = Ask("GET", "/history");
    QCOMPARE(History.Status, 200);
    const QJsonArray Rows = History.Body["rows"].toArray();
    QCOMPARE(Rows.size(), 2);
    QCOMPARE(Rows[1].toObject()["line_address"].toString(), Status.Body["address"].toString());
    QCOMPARE(Rows[0].toObject()["outcome"].toString(), QString("connected"));
    QCOMPARE(Rows[0].toObject()["entry"].toString(), QString("Line"));
    const qint64 SecondAt = Rows[1].toObject()["time_ms"].toVariant().toLongLong();
    QCOMPARE(Ask("GET", QString("/history?since=%1").arg(SecondAt)).Body["rows"].toArray().size(),
             1);
    QCOMPARE(Ask("GET", "/history?limit=1").Body["rows"].toArray().size(), 1);
    // The latest row alone.
    const QJsonArray Last = Ask("GET", "/history?last=1").Body["rows"].toArray();
    QCOMPARE(Last.size(), 1);
    QCOMPARE(Last[0].toObject()["time_ms"].toVariant().toLongLong(), SecondAt);
    QCOMPARE(Ask("GET", "/history?last=1&after=3").Status, 400);
    QCOMPARE(Ask("GET", "/history?since=yesterday").Status, 400);

    const TAnswer Metrics = Ask("GET", "/metrics");
    QCOMPARE(Metrics.Status, 200);
    QVERIFY(Metrics.ContentType.startsWith("text/plain; version=0.0.4"));
    QVERIFY(Metrics.Raw.contains("\ndravik_phase{phase=\"online\"} 1\n"));
    QVERIFY(Metrics.Raw.contains("\ndravik_turns_total{result=\"rotated\"} 2\n"));
    QCOMPARE(Ask("GET", "/history?limit=0").Status, 400);
  }

  // The page as Prometheus reads it: label values escaped, a histogram's
  // buckets counted up to +Inf, failures by their code, and no age before
  // the first new address.
  void MetricsPageText() {
    TRotation::TStatus Status;
    Status.Entry = "Line \"2\"\\x";
    Status.Provider = "networkmanager";
    Status.Phase = TRotation::TPhase::RetryWait;
    TRotationMetrics Metrics;
    Metrics.DialFailuresByCode[691] = 3;
    for (const double Seconds : {0.3, 0.3, 200.0}) Metrics.DialSeconds.Observe(Seconds);
    std::string Page = MetricsPage(Status, Metrics, 5000);
    for (const char* Line :
         {"dravik_info{entry=\"Line "
          "\\\"2\\\"\\\\x\",provider=\"networkmanager\",simulated=\"false\"} 1",
          "dravik_phase{phase=\"retry-wait\"} 1", "dravik_phase{phase=\"online\"} 0",
          "dravik_dial_failures_total{code=\"691\"} 3",
          "dravik_dial_duration_seconds_bucket{le=\"0.25\"} 0",
          "dravik_dial_duration_seconds_bucket{le=\"0.5\"} 2",
          "dravik_dial_duration_seconds_bucket{le=\"120\"} 2",
          "dravik_dial_duration_seconds_bucket{le=\"+Inf\"} 3",
          "dravik_dial_duration_seconds_count 3", "dravik_dial_duration_seconds_sum 200.6"})
      QVERIFY2(Page.find(std::string("\n") + Line + "\n") != std::string::npos, Line);
    QVERIFY(Page.find("dravik_seconds_since_new_address") == std::string::npos);
    Metrics.LastNewAddressMs = 2000;
    Page = MetricsPage(Status, Metrics, 5000);
    QVERIFY(Page.find("\ndravik_seconds_since_new_address 3\n") != std::string::npos);
  }

  void WrongMethodOrPath() {
    std::string Problem;
    QVERIFY(FRotation->Start(Problem));
    QCOMPARE(Ask("POST", "/status").Status, 405);
    QCOMPARE(Ask("GET", "/rotate").Status, 405);
    QCOMPARE(Ask("DELETE", "/history").Status, 405);
    QCOMPARE(Ask("GET", "/").Status, 404);
    QCOMPARE(Ask("GET", "/status/extra").Status, 404);
  }

  // A rotate during a dial is the rotation already on its way.
  // Pause keeps the line; rotate while paused is refused; resume goes on.
  void RotatePauseResume() {
    // A dial long enough for a request to meet it on its way.
    FDir.WritePhonebook("[Line]\nUserName=u\nPassword=p\nDialSeconds=1\n");
    std::string Problem;
    QVERIFY(FRotation->Start(Problem));
    QCOMPARE(FRotation->Phase(), TRotation::TPhase::Dialling);
    const TAnswer During = Ask("POST", "/rotate");
    QCOMPARE(During.Status, 200);
    QCOMPARE(During.Body["result"].toString(), QString("already rotating"));
    QVERIFY(WaitRows(1));
    const QString First = Ask("GET", "/status").Body["address"].toString();

    QCOMPARE(Ask("POST", "/pause").Body["result"].toString(), QString("paused"));
    QCOMPARE(Ask("GET", "/status").Body["phase"].toString(), QString("paused"));
    QVERIFY(Ask("GET", "/status").Body["seconds_to_next_step"].isNull());
    QCOMPARE(Ask("POST", "/rotate").Status, 409);
    QVERIFY(!AdvanceUntil([&] { return FRows > 1; }, 200000, 1000));
    QVERIFY(IsEntryConnected("Line"));

    QCOMPARE(Ask("POST", "/resume").Status, 200);
    QCOMPARE(Ask("GET", "/status").Body["phase"].toString(), QString("online"));
    const TAnswer Rotate = Ask("POST", "/rotate");
    QCOMPARE(Rotate.Status, 200);
    QCOMPARE(Rotate.Body["result"].toString(), QString("rotating"));
    QCOMPARE(Ask("GET", "/status").Body["phase"].toString(), QString("offline"));
    QVERIFY(WaitRows(2));
    QVERIFY(Ask("GET", "/status").Body["address"].toString() != First);
  }
};

DRAVIK_SERVICE_TEST_MAIN(TestControlServer)
#include "TestControlServer.moc"
