#include "StatusJson.h"

#include <QJsonValue>
#include <algorithm>

#include "IsoTime.h"

namespace {

QJsonValue TextOrNull(const std::string& AText) {
  return AText.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(AText));
}

}  // namespace

QJsonObject StatusJson(const TRotation::TStatus& AStatus, int64_t ANowMs) {
  QJsonObject Object{
      {"entry", QString::fromStdString(AStatus.Entry)},
      {"phase", TRotation::PhaseName(AStatus.Phase)},
      {"since", IsoTimeUtc(AStatus.SinceMs)},
      {"address", TextOrNull(AStatus.Address)},
      {"previous_address", TextOrNull(AStatus.PreviousAddress)},
      {"public_address", TextOrNull(AStatus.PublicAddress)},
      {"address6", TextOrNull(AStatus.Address6)},
      {"prefix6", TextOrNull(AStatus.Prefix6)},
      {"waiting_for", TextOrNull(AStatus.WaitingFor)},
      {"dials", static_cast<qint64>(AStatus.Dials)},
      {"rotations", static_cast<qint64>(AStatus.Rotations)},
      {"failures", static_cast<qint64>(AStatus.Failures)},
      {"provider", QString::fromStdString(AStatus.Provider)},
      {"simulated", AStatus.Simulated},
  };
  Object["next_step_seconds"] =
      AStatus.NextStepMs < 0 ? QJsonValue()
                             : QJsonValue(static_cast<qint64>((AStatus.NextStepMs + 999) / 1000));
  Object["online_seconds"] = AStatus.OnlineMs < 0
                                 ? QJsonValue()
                                 : QJsonValue(static_cast<qint64>((AStatus.OnlineMs + 999) / 1000));
  Object["up_seconds"] = AStatus.UpSinceMs < 0
                             ? QJsonValue()
                             : QJsonValue(static_cast<qint64>(
                                   std::max<int64_t>(0, ANowMs - AStatus.UpSinceMs) / 1000));
  Object["last_error"] =
      AStatus.LastError.empty()
          ? QJsonValue()
          : QJsonValue(QJsonObject{{"code", AStatus.LastErrorCode},
                                   {"text", QString::fromStdString(AStatus.LastError)}});
  return Object;
}
