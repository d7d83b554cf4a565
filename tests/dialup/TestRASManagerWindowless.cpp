#include <unistd.h>

#include <QCoreApplication>
#include <QTest>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "ErrorHandler.h"
#include "RASManager.h"
#include "TManualClock.h"
#include "TTimer.h"
#include "UserMessage.h"

namespace {

// What the program writes to its standard error while the capture lives.
class TStandardErrorCapture {
 public:
  TStandardErrorCapture() : FFile(std::tmpfile()) {
    std::fflush(stderr);
    FSaved = ::dup(STDERR_FILENO);
    ::dup2(::fileno(FFile), STDERR_FILENO);
  }
  ~TStandardErrorCapture() {
    Restore();
    std::fclose(FFile);
  }
  std::string Text() {
    Restore();
    std::string Text;
    std::rewind(FFile);
    char Buffer[256];
    size_t Count;
    while ((Count = std::fread(Buffer, 1, sizeof(Buffer), FFile)) > 0) Text.append(Buffer, Count);
    return Text;
  }

 private:
  void Restore() {
    if (FSaved < 0) return;
    std::fflush(stderr);
    ::dup2(FSaved, STDERR_FILENO);
    ::close(FSaved);
    FSaved = -1;
  }
  std::FILE* FFile;
  int FSaved = -1;
};

}  // namespace

// The dialler and the timers in a program without a window (a service): no
// box is ever shown; what the window program shows goes to the handlers the
// program installs, else to the standard error.
class TestRASManagerWindowless : public QObject {
  Q_OBJECT
 private slots:
  void InvalidTimeoutIsLoggedAndNotStored() {
    TRASManager Dialler(nullptr);
    Dialler.SetTimeout(5);
    TStandardErrorCapture Capture;
    Dialler.SetTimeout(-1);
    QCOMPARE(Capture.Text(), std::string("RASManager: Invalid Timeout value (0..MaxInt)\n"));
    QCOMPARE(Dialler.Timeout(), 5);
  }

  void EscapedErrorIsLoggedAndTimersGoOn() {
    TComponent Owner(nullptr);
    auto* Timer = new TTimer(&Owner);
    int Count = 0;
    Timer->OnTimer.Bind([&](TObject*) {
      ++Count;
      throw std::runtime_error("Not enough timers available");
    });
    Timer->SetInterval(1000);
    Timer->SetEnabled(true);
    TStandardErrorCapture Capture;
    TManualClock::Instance().Advance(2000);
    QCOMPARE(Capture.Text(), std::string("error: Not enough timers available.\n"
                                         "error: Not enough timers available.\n"));
    QCOMPARE(Count, 2);
  }

  void InstalledHandlersReceiveMessagesAndErrors() {
    std::vector<std::string> Messages, Errors;
    SetUserMessageHandler([&](const std::string& AMessage, TMsgDlgType AType) {
      Messages.push_back(AMessage + (AType == TMsgDlgType::mtError ? " (error)" : ""));
    });
    SetErrorHandler([&](std::exception_ptr AError) { Errors.push_back(ErrorText(AError)); });
    TComponent Owner(nullptr);
    auto* Dialler = new TRASManager(&Owner);
    Dialler->SetTimeout(-7);
    auto* Timer = new TTimer(&Owner);
    Timer->OnTimer.Bind([](TObject*) { throw std::runtime_error("Timer failed"); });
    Timer->SetEnabled(true);
    TStandardErrorCapture Capture;
    TManualClock::Instance().Advance(1000);
    const std::string Logged = Capture.Text();
    SetUserMessageHandler(nullptr);
    SetErrorHandler(nullptr);
    QCOMPARE(Messages,
             std::vector<std::string>{"RASManager: Invalid Timeout value (0..MaxInt) (error)"});
    QCOMPARE(Errors, std::vector<std::string>{"Timer failed."});
    QCOMPARE(Logged, std::string());
  }
};

int main(int argc, char** argv) {
  QCoreApplication App(argc, argv);
  TManualClock::Use();
  TestRASManagerWindowless Test;
  return QTest::qExec(&Test, argc, argv);
}
#include "TestRASManagerWindowless.moc"
