// The dial history killed (SIGKILL) at random moments of its writes, many
// times over: a writer process adds rows through the service's own history
// until it is killed; every time, the database opens, passes SQLite's
// integrity check and holds every row the writer had reported complete.

#include <signal.h>
#include <sqlite3.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "ServiceTestSupport.h"

namespace {

struct TDatabase {
  sqlite3* Db = nullptr;
  ~TDatabase() { sqlite3_close(Db); }
};

// The first column of each result row of a query, as text.
QStringList Query(sqlite3* ADb, const char* ASql, qint64 AFrom = 0) {
  QStringList Values;
  sqlite3_stmt* Statement = nullptr;
  if (sqlite3_prepare_v2(ADb, ASql, -1, &Statement, nullptr) != SQLITE_OK)
    return {QString("error: ") + sqlite3_errmsg(ADb)};
  sqlite3_bind_int64(Statement, 1, AFrom);
  int Step = SQLITE_ROW;
  while ((Step = sqlite3_step(Statement)) == SQLITE_ROW)
    Values << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(Statement, 0)));
  if (Step != SQLITE_DONE) Values << QString("error: ") + sqlite3_errmsg(ADb);
  sqlite3_finalize(Statement);
  return Values;
}

}  // namespace

class TestHistoryKills : public QObject {
  Q_OBJECT

 private slots:
  void KilledWhileWriting() {
    QTemporaryDir Folder;
    QVERIFY(Folder.isValid());
    const QString File = Folder.filePath("history.sqlite");
    qint64 Next = 1;
    int KilledBeforeRows = 0;
    qint64 StartupUs = 0;
    constexpr int Kills = 100;
    for (int Kill = 0; Kill < Kills; ++Kill) {
      QProcess Writer;
      QElapsedTimer Started;
      Writer.start(QStringLiteral(HISTORY_WRITER), {File, QString::number(Next)});
      QVERIFY(Writer.waitForStarted(10000));
      Started.start();
      // Every third kill falls anywhere from the start to the first rows
      // (the opening of the database), the others into a run of rows.
      if (Kill % 3 != 0 || StartupUs == 0) {
        QVERIFY2(Writer.waitForReadyRead(10000), qPrintable(Writer.readAllStandardError()));
        if (StartupUs == 0) StartupUs = Started.nsecsElapsed() / 1000;
        QThread::usleep(QRandomGenerator::global()->bounded(15000));
      } else {
        QThread::usleep(QRandomGenerator::global()->bounded(StartupUs * 5 / 4));
      }
      ::kill(static_cast<pid_t>(Writer.processId()), SIGKILL);
      QVERIFY(Writer.waitForFinished(10000));
      QVERIFY2(Writer.exitStatus() == QProcess::CrashExit,
               qPrintable(Writer.readAllStandardError()));
      const QList<QByteArray> Reported = Writer.readAllStandardOutput().split('\n');
      // The last number is whole only with its line ending.
      const qint64 Last = Reported.size() >= 2 ? Reported[Reported.size() - 2].toLongLong() : 0;
      KilledBeforeRows += Last == 0;

      // Killed before the database was made.
      if (!QFile::exists(File)) {
        QCOMPARE(Last, qint64(0));
        continue;
      }
      TDatabase Database;
      QCOMPARE(
          sqlite3_open_v2(File.toUtf8().constData(), &Database.Db, SQLITE_OPEN_READWRITE, nullptr),
          SQLITE_OK);
      QCOMPARE(Query(Database.Db, "PRAGMA integrity_check"), QStringList{"ok"});
      // Killed before the table was made.
      if (Query(Database.Db, "SELECT count(*) FROM sqlite_master WHERE name = 'dials'") ==
          QStringList{"0"}) {
        QCOMPARE(Last, qint64(0));
        continue;
      }
      // Every reported row is there, whole; at most the one the writer had
      // committed but not yet reported follows.
      const QStringList Details =
          Query(Database.Db, "SELECT detail FROM dials WHERE time_ms >= ? ORDER BY time_ms", Next);
      const qint64 Reached = Last == 0 ? Next - 1 : Last;
      QVERIFY2(Details.size() == Reached - Next + 1 || Details.size() == Reached - Next + 2,
               qPrintable(QString("%1 rows from %2, %3 reported")
                              .arg(Details.size())
                              .arg(Next)
                              .arg(Reached - Next + 1)));
      for (int Index = 0; Index < Details.size(); ++Index)
        QCOMPARE(Details[Index], QString("row %1").arg(Next + Index));
      QCOMPARE(Query(Database.Db, "SELECT count(*) FROM dials WHERE line_address = ''"),
               QStringList{"0"});
      Next += Details.size();
    }
    // Most kills fell among the rows, not before the first.
    QVERIFY2(KilledBeforeRows < Kills / 2, qPrintable(QString::number(KilledBeforeRows)));
    qInfo("%lld rows, %d kills before the first row of their run", Next - 1, KilledBeforeRows);
  }
};

DRAVIK_SERVICE_TEST_MAIN(TestHistoryKills)
#include "TestHistoryKills.moc"
