#include "TXDisplay.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <cerrno>
#include <string>

extern char** environ;

namespace {

void Stop(pid_t AProcess) {
  if (AProcess <= 0) return;
  kill(AProcess, SIGTERM);
  for (int Tries = 0; Tries < 50; ++Tries) {
    if (waitpid(AProcess, nullptr, WNOHANG) == AProcess) return;
    usleep(100 * 1000);
  }
  kill(AProcess, SIGKILL);
  waitpid(AProcess, nullptr, 0);
}

}  // namespace

TXDisplay::~TXDisplay() {
  for (auto Program = FPrograms.rbegin(); Program != FPrograms.rend(); ++Program) Stop(*Program);
  Stop(FServer);
}

pid_t TXDisplay::Spawn(const QStringList& AArguments) {
  std::vector<std::string> Texts;
  for (const QString& Argument : AArguments) Texts.push_back(Argument.toStdString());
  std::vector<char*> Vector;
  for (std::string& Text : Texts) Vector.push_back(Text.data());
  Vector.push_back(nullptr);
  posix_spawn_file_actions_t Actions;
  posix_spawn_file_actions_init(&Actions);
  // Their output is of no use to a test.
  posix_spawn_file_actions_addopen(&Actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&Actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t Process = -1;
  const int Failed = posix_spawnp(&Process, Vector[0], &Actions, nullptr, Vector.data(), environ);
  posix_spawn_file_actions_destroy(&Actions);
  return Failed == 0 ? Process : -1;
}

pid_t TXDisplay::SpawnReporting(const QStringList& AArguments, QByteArray& ALine) {
  int Report[2];
  if (pipe(Report) != 0) return -1;
  // Only the write end goes to the program.
  fcntl(Report[0], F_SETFD, FD_CLOEXEC);
  QStringList Arguments = AArguments;
  Arguments.replaceInStrings(QStringLiteral("%FD"), QString::number(Report[1]));
  const pid_t Program = Spawn(Arguments);
  close(Report[1]);
  ALine.clear();
  QElapsedTimer Waited;
  Waited.start();
  while (Program > 0 && !ALine.endsWith('\n') && Waited.elapsed() < 20000 && ALine.size() < 4096) {
    pollfd Wait{Report[0], POLLIN, 0};
    if (poll(&Wait, 1, 200) <= 0) continue;
    char Byte;
    if (read(Report[0], &Byte, 1) != 1) break;
    ALine += Byte;
  }
  close(Report[0]);
  return Program;
}

bool TXDisplay::Start(int AWidth, int AHeight) {
  QByteArray Number;
  FServer = SpawnReporting({"Xvfb", "-displayfd", "%FD", "-screen", "0",
                            QString("%1x%2x24").arg(AWidth).arg(AHeight), "-nolisten", "tcp"},
                           Number);
  if (FServer < 0) {
    FError = "Xvfb cannot be started";
    return false;
  }
  bool IsNumber = false;
  Number.trimmed().toInt(&IsNumber);
  if (!Number.endsWith('\n') || !IsNumber || Number.size() > 8) {
    FError = "Xvfb reported no display";
    return false;
  }
  FDisplay = ":" + Number.trimmed();
  qputenv("DISPLAY", FDisplay);
  return true;
}

bool TXDisplay::StartSessionBus() {
  QByteArray Address;
  const pid_t Bus =
      SpawnReporting({"dbus-daemon", "--session", "--nofork", "--print-address=%FD"}, Address);
  if (Bus < 0) {
    FError = "dbus-daemon cannot be started";
    return false;
  }
  FPrograms.push_back(Bus);
  if (!Address.endsWith('\n') || !Address.startsWith("unix:")) {
    FError = "dbus-daemon reported no address";
    return false;
  }
  qputenv("DBUS_SESSION_BUS_ADDRESS", Address.trimmed());
  return true;
}

bool TXDisplay::StartProgram(const QStringList& AArguments) {
  const pid_t Program = Spawn(AArguments);
  if (Program < 0) return false;
  FPrograms.push_back(Program);
  return true;
}

bool TXDisplay::WindowManagerRunning() {
  QProcess Tool;
  Tool.start("xprop", {"-root", "-notype", "_NET_SUPPORTING_WM_CHECK"});
  return Tool.waitForFinished(10000) && Tool.exitCode() == 0 &&
         Tool.readAllStandardOutput().contains("window id");
}

void TXDisplay::Shot(const QString& AName) {
  const QByteArray Folder = qgetenv("DRAVIK_SHOT_DIR");
  if (Folder.isEmpty()) return;
  const QString File = QString::fromLocal8Bit(Folder) + '/' + AName;
  if (!QGuiApplication::primaryScreen()->grabWindow(0).save(File))
    qWarning("cannot save %s", qPrintable(File));
}
