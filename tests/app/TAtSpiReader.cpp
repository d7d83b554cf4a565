#include "TAtSpiReader.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTimer>
#include <string>
#include <vector>

extern char** environ;

namespace {

const QString Python = QStringLiteral("/usr/bin/python3");
const QString Script = QStringLiteral(DRAVIK_ATSPI_READER);

// Runs the reader with AArguments while this process's event loop goes on
// answering it; its output, or nothing when it failed.
bool RunReader(const QStringList& AArguments, QByteArray* AOutput = nullptr) {
  QProcess Reader;
  Reader.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  // An event loop of its own answers each of the reader's calls at once.
  QEventLoop Answering;
  QObject::connect(&Reader, &QProcess::finished, &Answering, &QEventLoop::quit);
  QObject::connect(&Reader, &QProcess::errorOccurred, &Answering, &QEventLoop::quit);
  QTimer::singleShot(20000, &Answering, &QEventLoop::quit);
  Reader.start(Python, QStringList{Script} + AArguments);
  if (Reader.state() != QProcess::NotRunning) Answering.exec();
  if (Reader.state() != QProcess::NotRunning) {
    Reader.kill();
    Reader.waitForFinished();
    return false;
  }
  if (AOutput != nullptr) *AOutput = Reader.readAllStandardOutput();
  return Reader.exitStatus() == QProcess::NormalExit && Reader.exitCode() == 0;
}

QJsonObject Parse(const QByteArray& ALine) { return QJsonDocument::fromJson(ALine).object(); }

}  // namespace

bool TAtSpiReader::Read(const QString& AApplication, QList<TAtSpiObject>& AObjects) {
  QByteArray Output;
  if (!RunReader({QStringLiteral("dump"), AApplication}, &Output)) return false;
  AObjects.clear();
  for (const QByteArray& Line : Output.split('\n')) {
    if (Line.isEmpty()) continue;
    const QJsonObject Object = Parse(Line);
    AObjects.append({Object.value("role").toString(), Object.value("name").toString(),
                     Object.value("text").isString(), Object.value("text").toString()});
  }
  return !AObjects.isEmpty();
}

bool TAtSpiReader::Press(const QString& AApplication, const QString& AName) {
  return RunReader({QStringLiteral("press"), AApplication, AName});
}

TAtSpiWatcher::~TAtSpiWatcher() {
  // Its input closed, the watcher ends by itself.
  if (FInput >= 0) close(FInput);
  if (FOutput >= 0) close(FOutput);
  if (FProcess <= 0) return;
  for (int Tries = 0; Tries < 50; ++Tries) {
    if (waitpid(FProcess, nullptr, WNOHANG) == FProcess) return;
    usleep(100 * 1000);
  }
  kill(FProcess, SIGKILL);
  waitpid(FProcess, nullptr, 0);
}

bool TAtSpiWatcher::Start() {
  int Input[2];
  int Output[2];
  if (pipe2(Input, O_CLOEXEC) != 0) return false;
  if (pipe2(Output, O_CLOEXEC) != 0) {
    close(Input[0]);
    close(Input[1]);
    return false;
  }
  const std::string PythonPath = Python.toStdString();
  const std::string ScriptPath = Script.toStdString();
  std::vector<char*> Arguments{const_cast<char*>(PythonPath.c_str()),
                               const_cast<char*>(ScriptPath.c_str()), const_cast<char*>("watch"),
                               nullptr};
  posix_spawn_file_actions_t Actions;
  posix_spawn_file_actions_init(&Actions);
  posix_spawn_file_actions_adddup2(&Actions, Input[0], 0);
  posix_spawn_file_actions_adddup2(&Actions, Output[1], 1);
  const int Failed =
      posix_spawn(&FProcess, Arguments[0], &Actions, nullptr, Arguments.data(), environ);
  posix_spawn_file_actions_destroy(&Actions);
  close(Input[0]);
  close(Output[1]);
  FInput = Input[1];
  FOutput = Output[0];
  if (Failed != 0) {
    FProcess = -1;
    return false;
  }
  fcntl(FOutput, F_SETFL, fcntl(FOutput, F_GETFL) | O_NONBLOCK);
  QElapsedTimer Waited;
  Waited.start();
  while (!FPending.contains('\n') && Waited.elapsed() < 20000) {
    pollfd Wait{FOutput, POLLIN, 0};
    if (poll(&Wait, 1, 200) <= 0) continue;
    char Buffer[256];
    const ssize_t Count = read(FOutput, Buffer, sizeof Buffer);
    if (Count <= 0) break;
    FPending.append(Buffer, static_cast<int>(Count));
  }
  if (!FPending.startsWith("ready\n")) return false;
  FPending.remove(0, 6);
  return true;
}

const QList<TAtSpiEvent>& TAtSpiWatcher::Events() {
  char Buffer[4096];
  for (ssize_t Count; FOutput >= 0 && (Count = read(FOutput, Buffer, sizeof Buffer)) > 0;)
    FPending.append(Buffer, static_cast<int>(Count));
  for (qsizetype End; (End = FPending.indexOf('\n')) >= 0;) {
    const QJsonObject Event = Parse(FPending.left(End));
    FPending.remove(0, End + 1);
    FEvents.append({Event.value("application").toString(), Event.value("event").toString(),
                    Event.value("role").toString(), Event.value("name").toString(),
                    Event.value("data").toString()});
  }
  return FEvents;
}
