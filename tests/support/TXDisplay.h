#pragma once

#include <sys/types.h>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

// A private X server (Xvfb) for tests where a real desktop matters, on a
// display number the server picks itself (-displayfd), so that test runs in
// parallel never meet; with the programs a test starts on it (a tray host, a
// window manager) and, when asked for, a session bus of its own.
// Everything started ends with the object.
class TXDisplay {
 public:
  TXDisplay() = default;
  ~TXDisplay();
  TXDisplay(const TXDisplay&) = delete;
  TXDisplay& operator=(const TXDisplay&) = delete;

  // Starts the server with one screen of the given size and names it in
  // DISPLAY for this process and what it starts. False, with the reason in
  // Error(), when it does not come up within 20 s.
  bool Start(int AWidth = 640, int AHeight = 480);
  // Starts a program on the display (an argument vector, no shell).
  bool StartProgram(const QStringList& AArguments);
  // Starts a private session bus and names it in DBUS_SESSION_BUS_ADDRESS
  // for this process and what it starts. It starts the services it knows
  // when they are asked for, among them the accessibility bus of AT-SPI.
  bool StartSessionBus();

  // Whether a window manager has come up on the display in use and announced
  // itself.
  static bool WindowManagerRunning();
  // With DRAVIK_SHOT_DIR set to a folder, saves a picture of the whole screen
  // there under AName, for a person to look at.
  static void Shot(const QString& AName);

  const QByteArray& Display() const { return FDisplay; }
  const QString& Error() const { return FError; }

 private:
  static pid_t Spawn(const QStringList& AArguments);
  // Starts a program that reports a line through a file descriptor ("%FD"
  // in AArguments stands for its number) and reads the line (at most 20 s).
  static pid_t SpawnReporting(const QStringList& AArguments, QByteArray& ALine);

  pid_t FServer = -1;
  std::vector<pid_t> FPrograms;
  QByteArray FDisplay;
  QString FError;
};
