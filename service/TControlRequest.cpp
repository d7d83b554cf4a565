#include "TControlRequest.h"

#include <QUrlQuery>

#include "TControlToken.h"

namespace {

using TStatusCode = QHttpServerResponder::StatusCode;

TControlRequest Refusal(TStatusCode ACode, const QString& AError,
                        const QByteArray& AHeaderName = {}, const QByteArray& AHeaderValue = {}) {
  TControlRequest Request;
  Request.Code = ACode;
  Request.Error = AError;
  Request.HeaderName = AHeaderName;
  Request.HeaderValue = AHeaderValue;
  return Request;
}

bool ParseWhole(const QString& AText, qint64 AMin, qint64 AMax, qint64& AValue) {
  bool Fine = false;
  const qint64 Value = AText.toLongLong(&Fine);
  if (!Fine || Value < AMin || Value > AMax) return false;
  AValue = Value;
  return true;
}

}  // namespace

TControlRequest ReadControlRequest(QHttpServerRequest::Method AMethod, const QUrl& AUrl,
                                   const QList<QPair<QByteArray, QByteArray>>& AHeaders,
                                   const std::string& AToken) {
  QByteArray Authorization;
  for (const auto& [Name, Value] : AHeaders) {
    if (Name.compare("authorization", Qt::CaseInsensitive) == 0) Authorization = Value;
  }
  const QByteArray Prefix = "Bearer ";
  if (!Authorization.startsWith(Prefix) ||
      !SameSecret(Authorization.mid(Prefix.size()).trimmed().toStdString(), AToken)) {
    return Refusal(TStatusCode::Unauthorized, "missing or wrong bearer token", "WWW-Authenticate",
                   "Bearer");
  }
  const QString Path = AUrl.path();
  const bool Get = AMethod == QHttpServerRequest::Method::Get;
  const bool Post = AMethod == QHttpServerRequest::Method::Post;
  const bool Known = Path == "/status" || Path == "/rotate" || Path == "/pause" ||
                     Path == "/resume" || Path == "/history";
  if (!Known) return Refusal(TStatusCode::NotFound, "no such resource");
  const bool WantsGet = Path == "/status" || Path == "/history";
  if ((WantsGet && !Get) || (!WantsGet && !Post)) {
    return Refusal(TStatusCode::MethodNotAllowed, "method not allowed", "Allow",
                   WantsGet ? "GET" : "POST");
  }
  TControlRequest Request;
  if (Path == "/status") {
    Request.Action = TControlRequest::TAction::Status;
  } else if (Path == "/rotate") {
    Request.Action = TControlRequest::TAction::Rotate;
  } else if (Path == "/pause") {
    Request.Action = TControlRequest::TAction::Pause;
  } else if (Path == "/resume") {
    Request.Action = TControlRequest::TAction::Resume;
  } else {
    const QUrlQuery Query(AUrl);
    if (Query.hasQueryItem("since") &&
        !ParseWhole(Query.queryItemValue("since"), 0, INT64_MAX, Request.Since)) {
      return Refusal(TStatusCode::BadRequest, "since must be milliseconds since the epoch");
    }
    if (Query.hasQueryItem("limit") &&
        !ParseWhole(Query.queryItemValue("limit"), 1, TControlRequest::MaxHistoryRows,
                    Request.Limit)) {
      return Refusal(TStatusCode::BadRequest, "limit must be a whole number from 1 to 100000");
    }
    Request.Action = TControlRequest::TAction::History;
  }
  return Request;
}
