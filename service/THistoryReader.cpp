#include "THistoryReader.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <vector>

#include "IsoTime.h"
#include "THistory.h"

QJsonObject THistoryReader::RowJson(const TDialRecord& ARow) {
  return QJsonObject{
      {"time", IsoTimeUtc(ARow.TimeMs)},
      {"time_ms", static_cast<qint64>(ARow.TimeMs)},
      {"entry", QString::fromStdString(ARow.Entry)},
      {"line_address", QString::fromStdString(ARow.LineAddress)},
      {"peer_address", QString::fromStdString(ARow.PeerAddress)},
      {"public_address", QString::fromStdString(ARow.PublicAddress)},
      {"dial_ms", static_cast<qint64>(ARow.DialMs)},
      {"outcome", QString::fromStdString(ARow.Outcome)},
      {"error_code", ARow.ErrorCode},
      {"detail", QString::fromStdString(ARow.Detail)},
      {"simulated", ARow.Simulated},
      {"reason", QString::fromStdString(ARow.Reason)},
      {"address6", QString::fromStdString(ARow.Address6)},
      {"prefix6", QString::fromStdString(ARow.Prefix6)},
  };
}

THistoryReader::THistoryReader(std::string AFileName)
    : FFileName(std::move(AFileName)), FContext(new QObject) {
  FThread = std::thread([this] { Run(); });
}

THistoryReader::~THistoryReader() {
  {
    std::lock_guard<std::mutex> Guard(FLock);
    FEnding = true;
  }
  FWake.notify_all();
  FThread.join();
}

bool THistoryReader::Busy() const {
  std::lock_guard<std::mutex> Guard(FLock);
  return FBusy;
}

bool THistoryReader::Query(int64_t ASinceMs, int64_t AAfterId, int ALimit, bool ALatest,
                           TDone ADone) {
  {
    std::lock_guard<std::mutex> Guard(FLock);
    if (FBusy) return false;
    FBusy = true;
    FJob = TJob{ASinceMs, AAfterId, ALimit, ALatest, std::move(ADone)};
  }
  FWake.notify_all();
  return true;
}

void THistoryReader::Run() {
  THistory Db;
  std::unique_lock<std::mutex> Guard(FLock);
  for (;;) {
    FWake.wait(Guard, [this] { return FEnding || FJob.has_value(); });
    if (FEnding) return;
    const TJob Job = std::move(*FJob);
    FJob.reset();
    Guard.unlock();

    int Code = 200;
    QJsonObject Answer;
    std::vector<TDialRecord> Rows;
    int64_t NextId = 0;
    std::string Problem;
    if (!FFileName.empty() && !Db.IsOpen()) Problem = Db.OpenForReading(FFileName);
    if (!FFileName.empty() && Problem.empty()) {
      if (Job.Latest) {
        Db.Latest(Job.SinceMs, Job.Limit, Rows, Problem);
      } else {
        Db.Page(Job.SinceMs, Job.AfterId, Job.Limit, Rows, NextId, Problem);
      }
    }
    if (!Problem.empty()) {
      Code = 500;
      Answer["error"] = QString::fromStdString("the history cannot be read: " + Problem);
    } else {
      QJsonArray Array;
      for (const TDialRecord& Row : Rows) Array.append(RowJson(Row));
      Answer["rows"] = Array;
      Answer["next"] = NextId == 0 ? QJsonValue() : QJsonValue(static_cast<qint64>(NextId));
    }
    const QByteArray Body = QJsonDocument(Answer).toJson(QJsonDocument::Compact);
    Rows.clear();

    Guard.lock();
    FBusy = false;
    if (FEnding) return;
    QMetaObject::invokeMethod(
        FContext.get(), [Done = Job.Done, Code, Body] { Done(Code, Body); }, Qt::QueuedConnection);
  }
}
