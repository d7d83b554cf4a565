#pragma once

// Runs the peer program (ras_peer) with the test's environment, so that it
// works the same simulated service from a process of its own.

#include <QProcess>
#include <QStringList>

struct TRasPeerResult {
  int ExitCode = -1;
  QString Output;
};

inline TRasPeerResult RunRasPeer(const QStringList& AArguments) {
  QProcess Peer;
  Peer.start(QStringLiteral(DRAVIK_RAS_PEER), AArguments);
  TRasPeerResult Result;
  if (!Peer.waitForFinished(30000) || Peer.exitStatus() != QProcess::NormalExit) return Result;
  Result.ExitCode = Peer.exitCode();
  Result.Output = QString::fromLocal8Bit(Peer.readAllStandardOutput());
  return Result;
}

// Entry names the peer lists as connected, in listing order.
inline QStringList PeerConnectedEntries() {
  QStringList Names;
  const TRasPeerResult Result = RunRasPeer({"list"});
  for (const QString& Line : Result.Output.split('\n', Qt::SkipEmptyParts))
    Names << Line.section(' ', 1);
  return Names;
}
