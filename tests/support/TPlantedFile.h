#pragma once

// What a test puts under a file's name in place of the file a program
// expects (a folder, a FIFO, a huge file, symbolic links of every sort, a
// file without permissions), and a record of a folder's entries that shows
// whether the program replaced or changed any of them.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace TPlantedFile {

// Puts AKind at APath; false when it could not be made. Kinds:
//   "file"          a file holding AContent
//   "unreadable"    such a file with mode 0200 (root reads it all the same)
//   "read-only"     such a file with mode 0444
//   "huge"          a file starting with AContent, HugeSize long (sparse:
//                   it takes no room on the disk)
//   "folder"        an empty folder
//   "fifo"          a named pipe, which no one writes into
//   "link"          a symbolic link to a file holding AContent in the folder
//                   "elsewhere" beside APath
//   "link to a read-only file"   the same, the file with mode 0444
//   "link to a folder"           a symbolic link to the folder "elsewhere"
//   "dangling link"              a symbolic link to a file not made yet in
//                                the folder "elsewhere"
//   "link into a missing folder" a symbolic link into a folder that is not
//   "link loop"                  APath links to APath.loop, which links back
bool Plant(const QString& APath, const QString& AKind, const QByteArray& AContent = {});

// Takes away what Plant put at APath, and the targets of its links, so that
// the next test finds the folder as it was.
void Remove(const QString& APath);

// Where Plant's links point: the file of "link", "dangling link" and the
// others beside APath.
QString Elsewhere(const QString& APath);

// Larger than any file the programs read whole.
constexpr qint64 HugeSize = qint64(20) << 20;

// Whether a program running as root sees AKind as it is meant: root reads a
// file without read permission and writes one without write permission.
bool MeaningfulFor(const QString& AKind);

// Every entry under AFolder (links not followed), one line each: its path,
// its kind and mode, and a link's target, or a file's size, inode, time of
// change and a digest of its first MiB.
QStringList Snapshot(const QString& AFolder);

}  // namespace TPlantedFile
