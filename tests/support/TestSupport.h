#pragma once

#include <QString>
#include <QTest>
#include <functional>
#include <string>
#include <vector>

#include "TDialogs.h"
#include "TGuiApplication.h"
#include "TManualClock.h"

// The boxes the program showed since the last Clear, answered with mrOk
// unless a test chose another answer.
class TModalRecorder {
 public:
  static TModalRecorder& Instance();
  void Install();
  void Clear() { FShown.clear(); }
  const std::vector<TModalRequest>& Shown() const { return FShown; }
  void SetNextAnswer(int AAnswer) { FNextAnswer = AAnswer; }

 private:
  std::vector<TModalRequest> FShown;
  int FNextAnswer = mrOk;
};

// Every test program runs on the hand-driven clock and answers every modal
// box itself, so that no test sleeps through a timer or waits for a person.
#define DRAVIK_TEST_MAIN(TestClass)         \
  int main(int argc, char** argv) {         \
    TGuiApplication App(argc, argv);        \
    TManualClock::Use();                    \
    TModalRecorder::Instance().Install();   \
    TestClass Test;                         \
    return QTest::qExec(&Test, argc, argv); \
  }

// Runs AWork as a user who cannot write into AFolder (mode 0555 while it
// runs): as root, in a child process under the unprivileged user "nobody"
// (65534), since root writes anywhere; else in this process. AFolder and its
// parents must be open to that user. Returns what AWork returned.
std::string RunWithoutWriteAccess(const QString& AFolder,
                                  const std::function<std::string()>& AWork);

// Whether AText holds Chinese: Chinese characters or the full-width forms of
// Chinese punctuation.
bool HasChinese(const QString& AText);
