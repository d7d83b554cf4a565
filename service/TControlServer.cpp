#include "TControlServer.h"

#include <QDateTime>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>

#include "TControlRequest.h"
#include "THistory.h"
#include "TRotation.h"

namespace {

using TStatusCode = QHttpServerResponder::StatusCode;

QString IsoTime(int64_t AMs) {
  return QDateTime::fromMSecsSinceEpoch(AMs, Qt::UTC).toString(Qt::ISODateWithMs);
}

QJsonObject Error(const QString& AText) { return QJsonObject{{"error", AText}}; }

}  // namespace

TControlServer::TControlServer(TRotation& ARotation, THistory* AHistory, std::string AToken)
    : FRotation(ARotation),
      FHistory(AHistory),
      FToken(std::move(AToken)),
      FServer(std::make_unique<QHttpServer>()) {
  // No routes: every request comes here, so that the token is checked first.
  FServer->setMissingHandler(
      [this](const QHttpServerRequest& ARequest, QHttpServerResponder&& AResponder) {
        Handle(ARequest, std::move(AResponder));
      });
}

TControlServer::~TControlServer() = default;

std::string TControlServer::Listen(const std::string& AAddress, int APort) {
  QHostAddress Address;
  if (!Address.setAddress(QString::fromStdString(AAddress))) return AAddress + ": not an address";
  const quint16 Port = FServer->listen(Address, static_cast<quint16>(APort));
  if (Port == 0)
    return "cannot listen on " + AAddress + ":" + std::to_string(APort) +
           " (in use, or not an address of this machine)";
  FPort = Port;
  return {};
}

QJsonObject TControlServer::RowJson(const TDialRecord& ARow) {
  return QJsonObject{
      {"time", IsoTime(ARow.TimeMs)},
      {"time_ms", static_cast<qint64>(ARow.TimeMs)},
      {"entry", QString::fromStdString(ARow.Entry)},
      {"line_address", QString::fromStdString(ARow.LineAddress)},
      {"peer_address", QString::fromStdString(ARow.PeerAddress)},
      {"public_address", QString::fromStdString(ARow.PublicAddress)},
      {"dial_ms", static_cast<qint64>(ARow.DialMs)},
      {"outcome", QString::fromStdString(ARow.Outcome)},
      {"error_code", ARow.ErrorCode},
      {"detail", QString::fromStdString(ARow.Detail)},
  };
}

void TControlServer::Handle(const QHttpServerRequest& ARequest, QHttpServerResponder&& AResponder) {
  const TControlRequest Request =
      ReadControlRequest(ARequest.method(), ARequest.url(), ARequest.headers(), FToken);
  auto Reply = [&AResponder](const QJsonObject& AObject, TStatusCode ACode = TStatusCode::Ok) {
    AResponder.write(QJsonDocument(AObject), ACode);
  };
  auto Refused = [&](TRotation::TRequest AResult, const QJsonObject& AOnDone) {
    switch (AResult) {
      case TRotation::TRequest::Done:
        Reply(AOnDone);
        break;
      case TRotation::TRequest::Busy:
        Reply(Error("a dial is on its way; its new address is the rotation"),
              TStatusCode::Conflict);
        break;
      case TRotation::TRequest::Paused:
        Reply(Error("the rotation is paused; resume it first"), TStatusCode::Conflict);
        break;
      case TRotation::TRequest::Stopped:
        Reply(Error("the service is stopping"), TStatusCode::ServiceUnavailable);
        break;
    }
  };
  switch (Request.Action) {
    case TControlRequest::TAction::Refuse:
      if (Request.HeaderName.isEmpty()) {
        Reply(Error(Request.Error), Request.Code);
      } else {
        AResponder.write(QJsonDocument(Error(Request.Error)),
                         {{Request.HeaderName, Request.HeaderValue}}, Request.Code);
      }
      break;
    case TControlRequest::TAction::Status: {
      const TRotation::TStatus Status = FRotation.Status();
      QJsonObject Object{
          {"entry", QString::fromStdString(Status.Entry)},
          {"phase", TRotation::PhaseName(Status.Phase)},
          {"address", QString::fromStdString(Status.Address)},
          {"public_address", QString::fromStdString(Status.PublicAddress)},
          {"since", IsoTime(Status.SinceMs)},
          {"last_error", QString::fromStdString(Status.LastError)},
          {"dials", static_cast<qint64>(Status.Turns)},
          {"provider", QString::fromStdString(Status.Provider)},
          {"simulated", Status.Simulated},
      };
      Object["seconds_to_next_step"] =
          Status.NextStepMs < 0 ? QJsonValue()
                                : QJsonValue(static_cast<qint64>((Status.NextStepMs + 999) / 1000));
      Reply(Object);
      break;
    }
    case TControlRequest::TAction::Rotate:
      Refused(FRotation.RotateNow(), QJsonObject{{"result", "rotating"}});
      break;
    case TControlRequest::TAction::Pause:
      Refused(FRotation.Pause(), QJsonObject{{"result", "paused"}});
      break;
    case TControlRequest::TAction::Resume:
      Refused(FRotation.Resume(), QJsonObject{{"result", "resumed"}});
      break;
    case TControlRequest::TAction::History: {
      QJsonArray Rows;
      if (FHistory != nullptr) {
        for (const TDialRecord& Row :
             FHistory->Since(Request.Since, static_cast<int>(Request.Limit)))
          Rows.append(RowJson(Row));
      }
      Reply(QJsonObject{{"rows", Rows}});
      break;
    }
  }
}
