#pragma once

// Runs the hook after each verified new address: a program with its
// arguments (no shell), the address in its environment, its output in the
// log, killed with its whole process group when its time is up. Hooks run
// one at a time; one that comes while another runs waits its turn.

#include <QPointer>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "TComponent.h"

class QProcess;
class TServiceLog;
class TTimer;

class THookRunner : public TComponent {
 public:
  using TVariables = std::map<std::string, std::string>;

  THookRunner(TComponent* AOwner, std::vector<std::string> ACommand, int ATimeoutSeconds,
              TServiceLog& ALog);
  ~THookRunner() override;

  void Run(const TVariables& AVariables);
  bool Running() const { return !FProcess.isNull(); }
  size_t Waiting() const { return FWaiting.size(); }
  // Runs finished, and those of them that failed (a non-zero exit, a crash,
  // no start, killed for time).
  uint64_t Runs() const { return FRuns; }
  uint64_t Failures() const { return FFailures; }

  // After each run: its exit code (-1 when it did not start or crashed), and
  // whether it was killed for its time.
  std::function<void(int AExitCode, bool AKilled)> OnFinished;

 private:
  void StartNext();
  void ReadOutput();
  void Finished(int AExitCode, bool ACrashed);
  void TimeUp(TObject* ASender);

  std::vector<std::string> FCommand;
  int FTimeoutSeconds;
  TServiceLog& FLog;
  QPointer<QProcess> FProcess;
  TTimer* FTimer = nullptr;
  std::deque<TVariables> FWaiting;
  bool FKilled = false;
  std::string FPartialLine;
  size_t FLoggedBytes = 0;
  uint64_t FRuns = 0;
  uint64_t FFailures = 0;
};
