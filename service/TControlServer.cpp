#include "TControlServer.h"

#include <QDateTime>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrlQuery>

#include "TControlToken.h"
#include "THistory.h"
#include "TRotation.h"

namespace {

using TStatusCode = QHttpServerResponder::StatusCode;

constexpr int DefaultHistoryRows = 1000;
constexpr int MaxHistoryRows = 100000;

QString IsoTime(int64_t AMs) {
  return QDateTime::fromMSecsSinceEpoch(AMs, Qt::UTC).toString(Qt::ISODateWithMs);
}

QJsonObject Error(const QString& AText) { return QJsonObject{{"error", AText}}; }

bool ParseWhole(const QString& AText, qint64 AMin, qint64 AMax, qint64& AValue) {
  bool Fine = false;
  const qint64 Value = AText.toLongLong(&Fine);
  if (!Fine || Value < AMin || Value > AMax) return false;
  AValue = Value;
  return true;
}

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
  QByteArray Authorization;
  for (const auto& [Name, Value] : ARequest.headers()) {
    if (Name.compare("authorization", Qt::CaseInsensitive) == 0) Authorization = Value;
  }
  const QByteArray Prefix = "Bearer ";
  if (!Authorization.startsWith(Prefix) ||
      !SameSecret(Authorization.mid(Prefix.size()).trimmed().toStdString(), FToken)) {
    AResponder.write(QJsonDocument(Error("missing or wrong bearer token")),
                     {{"WWW-Authenticate", "Bearer"}}, TStatusCode::Unauthorized);
    return;
  }
  const QString Path = ARequest.url().path();
  const bool Get = ARequest.method() == QHttpServerRequest::Method::Get;
  const bool Post = ARequest.method() == QHttpServerRequest::Method::Post;
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
  const bool Known = Path == "/status" || Path == "/rotate" || Path == "/pause" ||
                     Path == "/resume" || Path == "/history";
  if (!Known) {
    Reply(Error("no such resource"), TStatusCode::NotFound);
    return;
  }
  const bool WantsGet = Path == "/status" || Path == "/history";
  if ((WantsGet && !Get) || (!WantsGet && !Post)) {
    AResponder.write(QJsonDocument(Error("method not allowed")),
                     {{"Allow", WantsGet ? "GET" : "POST"}}, TStatusCode::MethodNotAllowed);
    return;
  }
  if (Path == "/status") {
    const TRotation::TStatus Status = FRotation.Status();
    QJsonObject Object{
        {"entry", QString::fromStdString(Status.Entry)},
        {"phase", TRotation::PhaseName(Status.Phase)},
        {"address", QString::fromStdString(Status.Address)},
        {"public_address", QString::fromStdString(Status.PublicAddress)},
        {"since", IsoTime(Status.SinceMs)},
        {"last_error", QString::fromStdString(Status.LastError)},
        {"dials", static_cast<qint64>(Status.Turns)},
    };
    Object["seconds_to_next_step"] =
        Status.NextStepMs < 0 ? QJsonValue()
                              : QJsonValue(static_cast<qint64>((Status.NextStepMs + 999) / 1000));
    Reply(Object);
  } else if (Path == "/rotate") {
    Refused(FRotation.RotateNow(), QJsonObject{{"result", "rotating"}});
  } else if (Path == "/pause") {
    Refused(FRotation.Pause(), QJsonObject{{"result", "paused"}});
  } else if (Path == "/resume") {
    Refused(FRotation.Resume(), QJsonObject{{"result", "resumed"}});
  } else {
    const QUrlQuery Query(ARequest.url());
    qint64 Since = 0;
    qint64 Limit = DefaultHistoryRows;
    if (Query.hasQueryItem("since") &&
        !ParseWhole(Query.queryItemValue("since"), 0, INT64_MAX, Since)) {
      Reply(Error("since must be milliseconds since the epoch"), TStatusCode::BadRequest);
      return;
    }
    if (Query.hasQueryItem("limit") &&
        !ParseWhole(Query.queryItemValue("limit"), 1, MaxHistoryRows, Limit)) {
      Reply(Error("limit must be a whole number from 1 to 100000"), TStatusCode::BadRequest);
      return;
    }
    QJsonArray Rows;
    if (FHistory != nullptr) {
      for (const TDialRecord& Row : FHistory->Since(Since, static_cast<int>(Limit)))
        Rows.append(RowJson(Row));
    }
    Reply(QJsonObject{{"rows", Rows}});
  }
}
