#pragma once

// What the service's tests share: a program on a plain core application and
// the hand-driven clock, and a way to move that clock while the dial-up
// service's notifications (which come from threads in real time) arrive.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTest>
#include <functional>

#include "RASManager.h"
#include "TManualClock.h"
#include "TRotation.h"

#define DRAVIK_SERVICE_TEST_MAIN(TestClass) \
  int main(int argc, char** argv) {         \
    QCoreApplication App(argc, argv);       \
    TManualClock::Use();                    \
    TestClass Test;                         \
    return QTest::qExec(&Test, argc, argv); \
  }

// Moves the test clock on in steps of AStepMs, letting queued notifications
// and finished processes in between, until ADone holds or AMaxMs have passed
// on the test clock. While AHold holds (something awaited from a thread or
// process that runs in real time), the clock waits for it up to 5 s of real
// time. Returns whether ADone held.
inline bool AdvanceUntil(const std::function<bool()>& ADone, uint64_t AMaxMs,
                         uint64_t AStepMs = 100, const std::function<bool()>& AHold = {}) {
  for (uint64_t Passed = 0; Passed <= AMaxMs; Passed += AStepMs) {
    QCoreApplication::processEvents();
    if (AHold) {
      QElapsedTimer Waited;
      Waited.start();
      while (AHold() && !ADone() && Waited.elapsed() < 5000) QTest::qWait(2);
    }
    if (ADone()) return true;
    TManualClock::Instance().Advance(AStepMs);
  }
  QCoreApplication::processEvents();
  return ADone();
}

inline void WriteTextFile(const QString& APath, const QByteArray& AText,
                          QFile::Permissions APermissions = QFile::ReadOwner | QFile::WriteOwner) {
  QFile File(APath);
  QVERIFY(File.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(File.write(AText), AText.size());
  File.close();
  QVERIFY(File.setPermissions(APermissions));
}

// A dial of the rotation is on its way: its outcome comes from the dial-up
// service's threads (the dial's own notification, the library's change
// notification), in real time.
inline bool DialOnItsWay(const TRotation* ARotation) {
  return ARotation != nullptr && ARotation->Phase() == TRotation::TPhase::Dialling;
}

// Hangs up what a test left connected; only while the entry is listed as connected.
inline void HangUpEntry(const std::string& AEntry) {
  TRASManager Dialler(nullptr);
  Dialler.SetEntryName(AEntry);
  Dialler.HangUp();
}

// A loopback port that was free a moment ago; 0 when none could be found.
inline int FreePort() {
  QTcpServer Probe;
  if (!Probe.listen(QHostAddress::LocalHost, 0)) return 0;
  return Probe.serverPort();
}
