#include "TestSupport.h"

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QRegularExpression>

TModalRecorder& TModalRecorder::Instance() {
  static TModalRecorder Recorder;
  return Recorder;
}

void TModalRecorder::Install() {
  SetModalAnswerer([this](const TModalRequest& ARequest) {
    FShown.push_back(ARequest);
    const int Answer = FNextAnswer;
    FNextAnswer = mrOk;
    return Answer;
  });
}

std::string RunWithoutWriteAccess(const QString& AFolder,
                                  const std::function<std::string()>& AWork) {
  const QByteArray Folder = AFolder.toLocal8Bit();
  struct stat Before {};
  ::stat(Folder.constData(), &Before);
  ::chmod(Folder.constData(), 0555);
  std::string Result;
  if (::geteuid() != 0) {
    Result = AWork();
  } else {
    int Pipe[2];
    if (::pipe(Pipe) != 0) return "<no pipe>";
    const pid_t Child = ::fork();
    if (Child == 0) {
      ::close(Pipe[0]);
      const bool Dropped =
          ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
      const std::string Answer = Dropped ? AWork() : std::string("<still root>");
      ssize_t Written = 0;
      while (Written < static_cast<ssize_t>(Answer.size())) {
        const ssize_t Count = ::write(Pipe[1], Answer.data() + Written, Answer.size() - Written);
        if (Count <= 0) break;
        Written += Count;
      }
      ::_exit(0);
    }
    ::close(Pipe[1]);
    char Buffer[4096];
    for (ssize_t Count; (Count = ::read(Pipe[0], Buffer, sizeof Buffer)) > 0;)
      Result.append(Buffer, static_cast<size_t>(Count));
    ::close(Pipe[0]);
    int Status = 0;
    ::waitpid(Child, &Status, 0);
  }
  ::chmod(Folder.constData(), Before.st_mode & 07777);
  return Result;
}

bool HasChinese(const QString& AText) {
  static const QRegularExpression Chinese(
      QStringLiteral("[\\x{4e00}-\\x{9fff}\\x{ff00}-\\x{ffef}]"));
  return AText.contains(Chinese);
}
