#include <QElapsedTimer>
#include <QTest>

#include "TTimer.h"
#include "TestSupport.h"

// The program's clock: timers fire from the message loop in real time.
class TestSystemClock : public QObject {
  Q_OBJECT
 private slots:
  void TimersFireFromTheMessageLoop() {
    TComponent Owner(nullptr);
    auto* Fast = new TTimer(&Owner);
    auto* Slow = new TTimer(&Owner);
    std::vector<int> Order;
    Fast->OnTimer.Bind([&](TObject*) { Order.push_back(1); });
    Slow->OnTimer.Bind([&](TObject*) {
      Order.push_back(2);
      Slow->SetEnabled(false);
      Fast->SetEnabled(false);
    });
    Fast->SetInterval(40);
    Slow->SetInterval(130);
    QElapsedTimer Elapsed;
    Elapsed.start();
    Fast->SetEnabled(true);
    Slow->SetEnabled(true);
    QTRY_VERIFY_WITH_TIMEOUT(!Slow->Enabled(), 5000);
    QVERIFY(Elapsed.elapsed() >= 130);
    QCOMPARE(Order, (std::vector<int>{1, 1, 1, 2}));
  }
};

int main(int argc, char** argv) {
  TGuiApplication App(argc, argv);
  TModalRecorder::Instance().Install();
  TestSystemClock Test;
  return QTest::qExec(&Test, argc, argv);
}
#include "TestSystemClock.moc"
