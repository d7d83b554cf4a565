#pragma once

// A real NetworkManager of the test program's own (nm-testbed.sh): a private
// system bus, NetworkManager in one network namespace, a DHCP server in
// another. Brought up when made and torn down when destroyed; should the
// program die first, the script's watcher tears it down. Made before the
// program's first dial-up call, since the provider is chosen once.
//
// Needs root and network namespaces. Where they are missing the tests skip
// with one line, except under CI=true, where that is a failure.

#include <unistd.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TNmTestbed {
 public:
  TNmTestbed() {
    if (geteuid() != 0) {
      FMissing = "the NetworkManager testbed needs root (network namespaces)";
      return;
    }
    if (!FDir.isValid()) {
      FMissing = "no temporary folder for the NetworkManager testbed";
      return;
    }
    qputenv("DRAVIK_RAS_DIR", FDir.filePath("ras").toLocal8Bit());
    const Result Up = Script({"up", FDir.filePath("testbed"), QString::number(getpid())});
    if (Up.Exit != 0) {
      FMissing = "the NetworkManager testbed did not come up: " + Up.Err.trimmed();
      return;
    }
    for (const QString& Line : Up.Out.split('\n', Qt::SkipEmptyParts)) {
      const int Equals = Line.indexOf('=');
      if (Equals > 0) FValues.insert(Line.left(Equals), Line.mid(Equals + 1));
    }
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", FValues.value("DBUS_SYSTEM_BUS_ADDRESS").toLocal8Bit());
    FUp = true;
  }
  ~TNmTestbed() {
    if (FUp) Script({"down", FDir.filePath("testbed")});
  }
  TNmTestbed(const TNmTestbed&) = delete;
  TNmTestbed& operator=(const TNmTestbed&) = delete;

  // Skips the test (fails it under CI=true) when the testbed is not up.
  bool Up() const { return FUp; }
  const QString& Missing() const { return FMissing; }
  static bool MustRun() { return qgetenv("CI") == "true"; }

  struct Result {
    int Exit = -1;
    QString Out;
    QString Err;
  };

  // The testbed script with its folder: "cut", "mend", "nm-stop",
  // "nm-start", "modem ...".
  Result Do(const QStringList& AArgs) {
    QStringList Args = AArgs;
    Args.insert(1, FDir.filePath("testbed"));
    return Script(Args);
  }

  // nmcli against the testbed's NetworkManager.
  static Result Nmcli(const QStringList& AArgs) { return Run("nmcli", AArgs); }

  QString Value(const QString& AKey) const { return FValues.value(AKey); }
  QString Folder() const { return FDir.filePath("testbed"); }

 private:
  static Result Run(const QString& AProgram, const QStringList& AArgs) {
    QProcess Process;
    Process.start(AProgram, AArgs);
    Result Run;
    if (!Process.waitForFinished(60000)) {
      Process.kill();
      Process.waitForFinished();
      Run.Err = AProgram + " did not finish";
      return Run;
    }
    Run.Exit = Process.exitStatus() == QProcess::NormalExit ? Process.exitCode() : -1;
    Run.Out = QString::fromLocal8Bit(Process.readAllStandardOutput());
    Run.Err = QString::fromLocal8Bit(Process.readAllStandardError());
    return Run;
  }
  static Result Script(const QStringList& AArgs) {
    return Run(QStringLiteral(DRAVIK_NM_TESTBED_SCRIPT), AArgs);
  }

  QTemporaryDir FDir;
  QMap<QString, QString> FValues;
  QString FMissing;
  bool FUp = false;
};

// The first line of every test that needs the testbed.
#define REQUIRE_TESTBED(Testbed)                                         \
  do {                                                                   \
    if (!(Testbed).Up()) {                                               \
      if (TNmTestbed::MustRun()) QFAIL(qPrintable((Testbed).Missing())); \
      QSKIP(qPrintable((Testbed).Missing()));                            \
    }                                                                    \
  } while (false)
