#pragma once

// A simulated dial-up service of the test program's own: a fresh folder for
// the service's files, used by this process and by the processes it starts.
// Made before the process's first dial-up call (as a member of the test
// object), since the provider is chosen once per process.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

class TSimServiceDir {
 public:
  enum TProviderChoice {
    // The environment names the simulated provider.
    SimProvider,
    // The environment names none: the service chooses, as it does for a
    // user (configuration file, detection, its default).
    ServiceChoosesProvider,
  };

  explicit TSimServiceDir(TProviderChoice AChoice = SimProvider) {
    qputenv("DRAVIK_RAS_DIR", FDir.path().toLocal8Bit());
    if (AChoice == SimProvider) {
      qputenv("DRAVIK_RAS_PROVIDER", "sim");
    } else {
      qunsetenv("DRAVIK_RAS_PROVIDER");
      // pppd's peers of the machine (Debian's ppp package brings one) are
      // not the test's: detection looks for them in a folder without any.
      qputenv("DRAVIK_PPP_DIR", (FDir.path() + "/no-ppp").toLocal8Bit());
    }
  }

  bool IsValid() const { return FDir.isValid(); }
  QString Path() const { return FDir.path(); }
  QString Phonebook() const { return FDir.filePath("phonebook.ini"); }

  void WritePhonebook(const QByteArray& AText) const {
    QFile File(Phonebook());
    QVERIFY(File.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(File.write(AText), AText.size());
  }

 private:
  QTemporaryDir FDir;
};
