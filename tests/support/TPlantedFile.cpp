#include "TPlantedFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace TPlantedFile {

namespace {

bool WriteFile(const QString& APath, const QByteArray& AContent, QFile::Permissions AMode) {
  QFile File(APath);
  if (!File.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  const bool Written = File.write(AContent) == AContent.size();
  File.close();
  return Written && File.setPermissions(AMode);
}

bool Link(const QString& ATarget, const QString& APath) {
  return ::symlink(QFile::encodeName(ATarget).constData(), QFile::encodeName(APath).constData()) ==
         0;
}

constexpr QFile::Permissions Private = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions ReadOnly =
    QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup | QFile::ReadOther;

}  // namespace

QString Elsewhere(const QString& APath) {
  const QFileInfo Info(APath);
  return Info.absolutePath() + "/elsewhere/" + Info.fileName();
}

bool Plant(const QString& APath, const QString& AKind, const QByteArray& AContent) {
  const QByteArray Path = QFile::encodeName(APath);
  const QString Target = Elsewhere(APath);
  const QString TargetFolder = QFileInfo(Target).absolutePath();
  if (AKind == "file") return WriteFile(APath, AContent, Private);
  if (AKind == "unreadable") return WriteFile(APath, AContent, QFile::WriteOwner);
  if (AKind == "read-only") return WriteFile(APath, AContent, ReadOnly);
  if (AKind == "huge") {
    if (!WriteFile(APath, AContent, Private)) return false;
    return QFile::resize(APath, HugeSize);
  }
  if (AKind == "folder") return QDir().mkdir(APath);
  if (AKind == "fifo") return ::mkfifo(Path.constData(), 0600) == 0;
  if (AKind == "link")
    return QDir().mkpath(TargetFolder) && WriteFile(Target, AContent, Private) &&
           Link(Target, APath);
  if (AKind == "link to a read-only file")
    return QDir().mkpath(TargetFolder) && WriteFile(Target, AContent, ReadOnly) &&
           Link(Target, APath);
  if (AKind == "link to a folder") return QDir().mkpath(TargetFolder) && Link(TargetFolder, APath);
  if (AKind == "dangling link") return QDir().mkpath(TargetFolder) && Link(Target, APath);
  if (AKind == "link into a missing folder")
    return Link(QFileInfo(APath).absolutePath() + "/gone/" + QFileInfo(APath).fileName(), APath);
  // Relative, as a person would make them.
  if (AKind == "link loop")
    return Link(QFileInfo(APath).fileName() + ".loop", APath) &&
           Link(QFileInfo(APath).fileName(), APath + ".loop");
  return false;
}

void Remove(const QString& APath) {
  for (const QString& Path : {APath, APath + ".loop"}) {
    const QByteArray Name = QFile::encodeName(Path);
    ::chmod(Name.constData(), 0600);
    if (::unlink(Name.constData()) != 0) QDir(Path).removeRecursively();
  }
  QDir(QFileInfo(Elsewhere(APath)).absolutePath()).removeRecursively();
}

bool MeaningfulFor(const QString& AKind) {
  return (AKind != "unreadable" && AKind != "read-only") || ::geteuid() != 0;
}

QStringList Snapshot(const QString& AFolder) {
  QStringList Lines;
  QDirIterator Entries(AFolder,
                       QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDirIterator::Subdirectories);
  while (Entries.hasNext()) {
    const QString Path = Entries.next();
    struct stat Info {};
    if (::lstat(QFile::encodeName(Path).constData(), &Info) != 0) continue;
    QString Line = QDir(AFolder).relativeFilePath(Path) +
                   QStringLiteral(" mode %1 ").arg(Info.st_mode & 07777, 4, 8, QChar('0'));
    if (S_ISLNK(Info.st_mode)) {
      char Target[4096];
      const ssize_t Length = ::readlink(QFile::encodeName(Path).constData(), Target, sizeof Target);
      Line += "link to " + QFile::decodeName(QByteArray(Target, Length > 0 ? int(Length) : 0));
    } else if (S_ISDIR(Info.st_mode)) {
      Line += "folder";
    } else if (S_ISFIFO(Info.st_mode)) {
      Line += "fifo";
    } else {
      // The inode and the time of the last change tell a replaced or
      // rewritten file; the digest of its start, one written back alike.
      Line += QStringLiteral("file of %1 bytes, inode %2, changed %3.%4, ")
                  .arg(Info.st_size)
                  .arg(Info.st_ino)
                  .arg(Info.st_mtim.tv_sec)
                  .arg(Info.st_mtim.tv_nsec);
      QFile File(Path);
      Line += File.open(QIODevice::ReadOnly)
                  ? QString::fromLatin1(
                        QCryptographicHash::hash(File.read(1 << 20), QCryptographicHash::Sha256)
                            .toHex()
                            .left(16))
                  : QStringLiteral("(unreadable)");
    }
    Lines << Line;
  }
  Lines.sort();
  return Lines;
}

}  // namespace TPlantedFile
