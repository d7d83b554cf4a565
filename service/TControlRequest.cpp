#include "TControlRequest.h"

#include <QUrl>
#include <QUrlQuery>

#include "TControlToken.h"

namespace {

TControlRequest Refusal(int ACode, const QString& AError, const QByteArray& AHeaderName = {},
                        const QByteArray& AHeaderValue = {}) {
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

QByteArray BearerToken(const QByteArray& AAuthorization) {
  const QByteArray Scheme = "bearer";
  if (AAuthorization.size() <= Scheme.size() ||
      AAuthorization.left(Scheme.size()).compare(Scheme, Qt::CaseInsensitive) != 0)
    return {};
  const char After = AAuthorization[Scheme.size()];
  if (After != ' ' && After != '\t') return {};
  return AAuthorization.mid(Scheme.size()).trimmed();
}

TControlRequest ReadControlRequest(const QByteArray& AMethod, const QByteArray& ATarget,
                                   const QList<QPair<QByteArray, QByteArray>>& AHeaders,
                                   const std::string& AToken) {
  QByteArray Authorization;
  int Authorizations = 0;
  for (const auto& [Name, Value] : AHeaders) {
    if (Name.compare("authorization", Qt::CaseInsensitive) == 0) {
      Authorization = Value;
      ++Authorizations;
    }
  }
  const QByteArray Token = BearerToken(Authorization);
  if (Authorizations != 1 || Token.isEmpty() || !SameSecret(Token.toStdString(), AToken)) {
    return Refusal(401, "missing or wrong bearer token", "WWW-Authenticate", "Bearer");
  }
  // The origin form ("/status") or the absolute form a proxy sends.
  const QUrl Url = QUrl::fromEncoded(
      ATarget.startsWith('/') ? "http://localhost" + ATarget : ATarget, QUrl::StrictMode);
  if (!Url.isValid() || (Url.scheme() != "http" && Url.scheme() != "https"))
    return Refusal(400, "the request target is not a path");
  const QString Path = Url.path();
  const bool Get = AMethod == "GET" || AMethod == "HEAD";
  const bool Post = AMethod == "POST";
  const bool Known = Path == "/status" || Path == "/rotate" || Path == "/pause" ||
                     Path == "/resume" || Path == "/history" || Path == "/metrics";
  if (!Known) return Refusal(404, "no such resource");
  const bool WantsGet = Path == "/status" || Path == "/history" || Path == "/metrics";
  if ((WantsGet && !Get) || (!WantsGet && !Post)) {
    return Refusal(405, "method not allowed", "Allow", WantsGet ? "GET, HEAD" : "POST");
  }
  TControlRequest Request;
  Request.HeadOnly = AMethod == "HEAD";
  if (Path == "/status") {
    Request.Action = TControlRequest::TAction::Status;
  } else if (Path == "/metrics") {
    Request.Action = TControlRequest::TAction::Metrics;
  } else if (Path == "/rotate") {
    Request.Action = TControlRequest::TAction::Rotate;
  } else if (Path == "/pause") {
    Request.Action = TControlRequest::TAction::Pause;
  } else if (Path == "/resume") {
    Request.Action = TControlRequest::TAction::Resume;
  } else {
    const QUrlQuery Query(Url);
    if (Query.hasQueryItem("since") &&
        !ParseWhole(Query.queryItemValue("since"), 0, INT64_MAX, Request.Since)) {
      return Refusal(400, "since must be milliseconds since the epoch");
    }
    if (Query.hasQueryItem("limit") &&
        !ParseWhole(Query.queryItemValue("limit"), 1, TControlRequest::MaxHistoryRows,
                    Request.Limit)) {
      return Refusal(400, "limit must be a whole number from 1 to 10000");
    }
    if (Query.hasQueryItem("after") &&
        !ParseWhole(Query.queryItemValue("after"), 0, INT64_MAX, Request.AfterId)) {
      return Refusal(400, "after must be the next field of the page before");
    }
    if (Query.hasQueryItem("last")) {
      if (Query.hasQueryItem("limit") || Query.hasQueryItem("after"))
        return Refusal(400, "last goes without limit and after: it is one page");
      if (!ParseWhole(Query.queryItemValue("last"), 1, TControlRequest::MaxHistoryRows,
                      Request.Limit))
        return Refusal(400, "last must be a whole number from 1 to 10000");
      Request.Latest = true;
    }
    Request.Action = TControlRequest::TAction::History;
  }
  return Request;
}
