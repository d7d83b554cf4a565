#pragma once

// The simulated dial-up service for the main window's tests (a private one
// per test program, in a TSimServiceDir), worked in this process through the
// platform calls and from another process through the dravik-ras tool.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <memory>
#include <string>

class TForm1;

namespace TSimService {

// Hangs up every listed connection and waits until none is listed.
bool HangUpEverything();
// Entry names of the listed connections, in listing order.
QStringList ConnectedEntries();
// The own address of the entry's first listed connection; empty when none.
QString AddressOf(const QString& AEntryName);

// The handle of the entry's first listed connection; 0 when none.
uint32_t HandleOf(const QString& AEntryName);

// Runs dravik-ras with AArguments; its exit code, or -1 when it did not end.
int RunTool(const QStringList& AArguments, QString* AOutput = nullptr);

}  // namespace TSimService

// A main window created in a folder of its own, as if the executable
// AExeName lay there: its settings file is read and written in that folder.
struct TWindowUnderTest {
  QTemporaryDir Folder;
  std::unique_ptr<TForm1> Form;
  QString ExeName = QStringLiteral("dravik.bin");

  TWindowUnderTest();
  ~TWindowUnderTest();
  QString SettingsPath(const QString& AName = QStringLiteral("dravik.ini")) const;
  void WriteSettings(const QByteArray& AContent);
  QByteArray ReadSettings() const;
  // Creates and shows the window.
  TForm1& Create();
  // Closes the window as the user does; whether it closed.
  bool Close();
  // Lets the toolkit deliver what is queued (the dialler's notifications).
  static void Settle();
};
