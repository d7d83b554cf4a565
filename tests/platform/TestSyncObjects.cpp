// Event objects and the waits on them, as the platform keeps them: set and
// reset, auto-reset taken by one wait, waits on several, time-outs, a wait
// woken from another thread, and handles that are not events.

#include <QElapsedTimer>
#include <QTest>
#include <thread>

#include "SyncObjects.h"
#include "TestSupport.h"

class TestSyncObjects : public QObject {
  Q_OBJECT

 private slots:
  // What waits with no time to spare see after each step.
  void SetAndReset_data() {
    QTest::addColumn<bool>("Manual");
    QTest::addColumn<bool>("Initial");
    QTest::addColumn<QString>("Steps");
    QTest::addColumn<QString>("Seen");
    // w: a wait of 0 ms (1 set, 0 timed out); s: set; r: reset.
    QTest::newRow("auto, reset at first") << false << false << "w s w w"
                                          << "0 1 0";
    QTest::newRow("auto, set at first") << false << true << "w w"
                                        << "1 0";
    QTest::newRow("auto, set twice, taken once") << false << false << "s s w w"
                                                 << "1 0";
    QTest::newRow("manual stays set") << true << false << "s w w r w"
                                      << "1 1 0";
    QTest::newRow("manual, set at first") << true << true << "w r w s w"
                                          << "1 0 1";
  }
  void SetAndReset() {
    QFETCH(bool, Manual);
    QFETCH(bool, Initial);
    QFETCH(QString, Steps);
    QFETCH(QString, Seen);
    const HANDLE Event = CreateEventA(nullptr, Manual, Initial, nullptr);
    QVERIFY(Event != nullptr);
    QStringList Waits;
    for (const QString& Step : Steps.split(' ')) {
      if (Step == "s") QVERIFY(SetEvent(Event));
      if (Step == "r") QVERIFY(ResetEvent(Event));
      if (Step == "w") Waits << (WaitForSingleObject(Event, 0) == WAIT_OBJECT_0 ? "1" : "0");
    }
    QCOMPARE(Waits.join(' '), Seen);
    QVERIFY(CloseHandle(Event));
  }

  void WaitOnSeveral() {
    HANDLE Events[3];
    for (HANDLE& Event : Events) Event = CreateEventA(nullptr, 0, 0, nullptr);
    QCOMPARE(WaitForMultipleObjects(3, Events, 0, 0), WAIT_TIMEOUT);
    SetEvent(Events[2]);
    SetEvent(Events[1]);
    // The first one set in the order given.
    QCOMPARE(WaitForMultipleObjects(3, Events, 0, 0), WAIT_OBJECT_0 + 1);
    QCOMPARE(WaitForMultipleObjects(3, Events, 0, 0), WAIT_OBJECT_0 + 2);
    QCOMPARE(WaitForMultipleObjects(3, Events, 0, 0), WAIT_TIMEOUT);
    // Waiting for all at once is not served.
    QCOMPARE(WaitForMultipleObjects(3, Events, 1, 0), WAIT_FAILED);
    for (HANDLE Event : Events) CloseHandle(Event);
  }

  void TimeOutAndWakeUp() {
    const HANDLE Event = CreateEventA(nullptr, 0, 0, nullptr);
    QElapsedTimer Timer;
    Timer.start();
    QCOMPARE(WaitForSingleObject(Event, 50), WAIT_TIMEOUT);
    QVERIFY(Timer.elapsed() >= 50);
    std::thread Setter([Event] {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      SetEvent(Event);
    });
    Timer.restart();
    QCOMPARE(WaitForSingleObject(Event, INFINITE), WAIT_OBJECT_0);
    Setter.join();
    QVERIFY(Timer.elapsed() < 5000);
    CloseHandle(Event);
  }

  void NotAnEvent() {
    int Something = 0;
    QCOMPARE(SetEvent(&Something), BOOL(0));
    QCOMPARE(CloseHandle(nullptr), BOOL(0));
    HANDLE Handles[1] = {&Something};
    QCOMPARE(WaitForMultipleObjects(1, Handles, 0, 0), WAIT_FAILED);
    // Named events are shared between processes; none is served here.
    QVERIFY(CreateEventA(nullptr, 0, 0, "Global\\dravik") == nullptr);
  }
};

DRAVIK_TEST_MAIN(TestSyncObjects)
#include "TestSyncObjects.moc"
