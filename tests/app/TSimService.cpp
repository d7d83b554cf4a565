#include "TSimService.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTest>

#include "Ras.h"
#include "RasControl.h"
#include "Unit1.h"

namespace {

std::vector<RASCONNA> ListConnections() {
  std::vector<RASCONNA> Connections(64);
  Connections[0].dwSize = sizeof(RASCONNA);
  DWORD Size = static_cast<DWORD>(Connections.size() * sizeof(RASCONNA)), Count = 0;
  if (RasEnumConnectionsA(Connections.data(), &Size, &Count) != 0) return {};
  Connections.resize(Count);
  return Connections;
}

}  // namespace

namespace TSimService {

bool HangUpEverything() {
  for (const RASCONNA& Connection : ListConnections()) RasHangUpA(Connection.hrasconn);
  for (int Attempt = 0; Attempt < 200; ++Attempt) {
    if (ListConnections().empty()) return true;
    QTest::qWait(10);
  }
  return false;
}

QStringList ConnectedEntries() {
  QStringList Names;
  for (const RASCONNA& Connection : ListConnections()) {
    RASCONNSTATUSA Status{};
    Status.dwSize = sizeof(Status);
    if (RasGetConnectStatusA(Connection.hrasconn, &Status) == 0 &&
        Status.rasconnstate == RASCS_Connected)
      Names << QString::fromLocal8Bit(Connection.szEntryName);
  }
  return Names;
}

QString AddressOf(const QString& AEntryName) {
  for (const RASCONNA& Connection : ListConnections()) {
    if (QString::fromLocal8Bit(Connection.szEntryName) != AEntryName) continue;
    RASPPPIPA Projection{};
    Projection.dwSize = sizeof(Projection);
    DWORD Size = sizeof(Projection);
    if (RasGetProjectionInfoA(Connection.hrasconn, RASP_PppIp, &Projection, &Size) != 0) return {};
    return QString::fromLocal8Bit(Projection.szIpAddress);
  }
  return {};
}

uint32_t HandleOf(const QString& AEntryName) {
  for (const RASCONNA& Connection : ListConnections())
    if (QString::fromLocal8Bit(Connection.szEntryName) == AEntryName) return Connection.hrasconn;
  return 0;
}

int RunTool(const QStringList& AArguments, QString* AOutput) {
  QProcess Tool;
  Tool.start(QStringLiteral(DRAVIK_RAS_TOOL), AArguments);
  if (!Tool.waitForFinished(30000) || Tool.exitStatus() != QProcess::NormalExit) return -1;
  if (AOutput != nullptr) *AOutput = QString::fromLocal8Bit(Tool.readAllStandardOutput());
  return Tool.exitCode();
}

}  // namespace TSimService

TWindowUnderTest::TWindowUnderTest() = default;
TWindowUnderTest::~TWindowUnderTest() = default;

QString TWindowUnderTest::SettingsPath(const QString& AName) const {
  return Folder.filePath(AName);
}

void TWindowUnderTest::WriteSettings(const QByteArray& AContent) {
  QFile File(SettingsPath());
  if (File.open(QIODevice::WriteOnly | QIODevice::Truncate)) File.write(AContent);
}

QByteArray TWindowUnderTest::ReadSettings() const {
  QFile File(SettingsPath());
  return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray();
}

TForm1& TWindowUnderTest::Create() {
  Form = std::make_unique<TForm1>(Folder.filePath(ExeName).toStdString());
  Form->show();
  Settle();
  return *Form;
}

bool TWindowUnderTest::Close() {
  Form->close();
  Settle();
  return !Form->isVisible();
}

void TWindowUnderTest::Settle() {
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
}
