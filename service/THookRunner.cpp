#include "THookRunner.h"

#include <signal.h>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>

#include "TServiceLog.h"
#include "TTimer.h"

namespace {

// A hook that floods its output is cut off in the log, not in its run.
constexpr size_t MaxLoggedBytes = 64 * 1024;
constexpr size_t MaxLineBytes = 1000;
// Hooks that pile up behind a slow one: the oldest waiting are dropped.
constexpr size_t MaxWaiting = 16;

}  // namespace

THookRunner::THookRunner(TComponent* AOwner, std::vector<std::string> ACommand, int ATimeoutSeconds,
                         TServiceLog& ALog)
    : TComponent(AOwner),
      FCommand(std::move(ACommand)),
      FTimeoutSeconds(ATimeoutSeconds),
      FLog(ALog) {
  FTimer = new TTimer(this);
  FTimer->SetEnabled(false);
  FTimer->SetInterval(static_cast<uint32_t>(FTimeoutSeconds) * 1000u);
  FTimer->OnTimer.Bind(this, &THookRunner::TimeUp);
}

THookRunner::~THookRunner() {
  if (QProcess* Process = FProcess.data()) {
    Process->disconnect();
    ::kill(-static_cast<pid_t>(Process->processId()), SIGKILL);
    Process->waitForFinished(1000);
    delete Process;
  }
}

void THookRunner::Run(const TVariables& AVariables) {
  if (FCommand.empty()) return;
  if (FWaiting.size() >= MaxWaiting) {
    FLog.Warning("hook: too many runs waiting; the oldest is dropped");
    FWaiting.pop_front();
  }
  FWaiting.push_back(AVariables);
  if (!Running()) StartNext();
}

void THookRunner::StartNext() {
  if (FWaiting.empty()) return;
  const TVariables Variables = std::move(FWaiting.front());
  FWaiting.pop_front();
  auto* Process = new QProcess();
  FProcess = Process;
  FKilled = false;
  FPartialLine.clear();
  FLoggedBytes = 0;
  QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
  for (const auto& [Name, Value] : Variables)
    Environment.insert(QString::fromStdString(Name), QString::fromStdString(Value));
  Process->setProcessEnvironment(Environment);
  Process->setProcessChannelMode(QProcess::MergedChannels);
  Process->setStandardInputFile(QProcess::nullDevice());
  // A group of its own, so that the time limit ends whatever the hook started.
  Process->setChildProcessModifier([] { setpgid(0, 0); });
  QStringList Arguments;
  for (size_t I = 1; I < FCommand.size(); ++I) Arguments << QString::fromStdString(FCommand[I]);
  QObject::connect(Process, &QProcess::readyRead, Process, [this] { ReadOutput(); });
  QObject::connect(Process, &QProcess::finished, Process,
                   [this](int ACode, QProcess::ExitStatus AStatus) {
                     Finished(ACode, AStatus == QProcess::CrashExit);
                   });
  QObject::connect(Process, &QProcess::errorOccurred, Process,
                   [this](QProcess::ProcessError AError) {
                     if (AError == QProcess::FailedToStart) Finished(-1, true);
                   });
  Process->start(QString::fromStdString(FCommand.front()), Arguments);
  FTimer->SetEnabled(true);
}

void THookRunner::ReadOutput() {
  QProcess* Process = FProcess.data();
  if (Process == nullptr) return;
  const QByteArray Data = Process->readAll();
  for (const char C : Data) {
    if (C == '\n') {
      if (FLoggedBytes < MaxLoggedBytes) FLog.Info("hook: " + FPartialLine);
      FLoggedBytes += FPartialLine.size() + 1;
      if (FLoggedBytes >= MaxLoggedBytes && FLoggedBytes - FPartialLine.size() - 1 < MaxLoggedBytes)
        FLog.Warning("hook: more output than the log takes; the rest is left out");
      FPartialLine.clear();
    } else if (FPartialLine.size() < MaxLineBytes) {
      FPartialLine += C;
    }
  }
}

void THookRunner::Finished(int AExitCode, bool ACrashed) {
  QProcess* Process = FProcess.data();
  if (Process == nullptr) return;
  FTimer->SetEnabled(false);
  ReadOutput();
  if (!FPartialLine.empty() && FLoggedBytes < MaxLoggedBytes) FLog.Info("hook: " + FPartialLine);
  FPartialLine.clear();
  const bool DidNotStart = Process->error() == QProcess::FailedToStart;
  FProcess = nullptr;
  Process->disconnect();
  Process->deleteLater();
  int Code = AExitCode;
  if (DidNotStart) {
    FLog.Error("hook: " + FCommand.front() +
               " did not start: " + Process->errorString().toStdString());
    Code = -1;
  } else if (FKilled) {
    FLog.Error("hook: killed after " + std::to_string(FTimeoutSeconds) + " s");
    Code = -1;
  } else if (ACrashed) {
    FLog.Error("hook: ended by a signal");
    Code = -1;
  } else if (AExitCode != 0) {
    FLog.Error("hook: failed with exit code " + std::to_string(AExitCode));
  }
  ++FRuns;
  if (Code != 0) ++FFailures;
  if (OnFinished) OnFinished(Code, FKilled);
  StartNext();
}

void THookRunner::TimeUp(TObject*) {
  FTimer->SetEnabled(false);
  QProcess* Process = FProcess.data();
  if (Process == nullptr) return;
  FKilled = true;
  const qint64 Pid = Process->processId();
  if (Pid > 0) ::kill(-static_cast<pid_t>(Pid), SIGKILL);
  Process->kill();
}
