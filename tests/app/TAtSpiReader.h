#pragma once

// A program's windows as a screen reader meets them: through AT-SPI, by the
// reader script (atspi-reader.py, on libatspi) on the session bus in use.
// The program may be this one: the readers run as processes of their own
// while this process's event loop answers them.

#include <sys/types.h>

#include <QByteArray>
#include <QList>
#include <QString>

// One object of a program's accessibility tree.
struct TAtSpiObject {
  QString Role;  // AT-SPI's role name: "label", "status bar", "push button"
  QString Name;
  bool HasText = false;  // whether it offers a text, which is then Text
  QString Text;
};

// One change a program announced: a text inserted or removed, a name changed.
struct TAtSpiEvent {
  QString Application;
  QString Type;  // "object:text-changed:insert", "object:property-change:accessible-name"
  QString Role;
  QString Name;
  QString Data;  // the text inserted or removed
};

namespace TAtSpiReader {

// Every object of the application named AApplication (its accessible name:
// the executable's name). False when it could not be read within 20 s.
bool Read(const QString& AApplication, QList<TAtSpiObject>& AObjects);

// Does the first action (a button's "Press") of the object named AName.
bool Press(const QString& AApplication, const QString& AName);

}  // namespace TAtSpiReader

// Listens for the changes every application announces. A program's toolkit
// asks which events are listened for when it switches its accessibility on
// and sends only those: start the watcher before the program (before this
// process's application object, for its own windows).
class TAtSpiWatcher {
 public:
  TAtSpiWatcher() = default;
  ~TAtSpiWatcher();
  TAtSpiWatcher(const TAtSpiWatcher&) = delete;
  TAtSpiWatcher& operator=(const TAtSpiWatcher&) = delete;

  // Starts listening; true once the listener is registered (within 20 s).
  bool Start();
  // What was announced since the start, in order.
  const QList<TAtSpiEvent>& Events();

 private:
  pid_t FProcess = -1;
  int FInput = -1;
  int FOutput = -1;
  QByteArray FPending;
  QList<TAtSpiEvent> FEvents;
};
