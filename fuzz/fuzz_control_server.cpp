// The control interface's reading of a request: method, address with its
// query, and headers, the Authorization header among them. Whatever comes,
// nothing is done without the right bearer token, a refusal says why, and
// the history's parameters are within their ranges.
//
// Input: an HTTP request as it comes over the wire: "METHOD TARGET" on the
// first line, then "Name: value" header lines, a blank line and the body.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QUrl>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "TControlRequest.h"

namespace {

using TMethod = QHttpServerRequest::Method;

const std::string Token = "0123456789abcdef0123456789abcdef";

TMethod MethodOf(const QByteArray& AName) {
  static const QList<QPair<QByteArray, TMethod>> Methods = {
      {"GET", TMethod::Get},     {"PUT", TMethod::Put},         {"DELETE", TMethod::Delete},
      {"POST", TMethod::Post},   {"HEAD", TMethod::Head},       {"OPTIONS", TMethod::Options},
      {"PATCH", TMethod::Patch}, {"CONNECT", TMethod::Connect}, {"TRACE", TMethod::Trace},
  };
  for (const auto& [Name, Method] : Methods)
    if (Name == AName) return Method;
  return TMethod::Unknown;
}

void Check(TMethod AMethod, const QUrl& AUrl,
           const QList<QPair<QByteArray, QByteArray>>& AHeaders) {
  const TControlRequest Request = ReadControlRequest(AMethod, AUrl, AHeaders, Token);
  if (Request.Action == TControlRequest::TAction::Refuse) {
    if (Request.Code == QHttpServerResponder::StatusCode::Ok || Request.Error.isEmpty())
      std::abort();
    return;
  }
  // Only the token opens the door: the last Authorization header carries it.
  QByteArray Authorization;
  for (const auto& [Name, Value] : AHeaders)
    if (Name.compare("authorization", Qt::CaseInsensitive) == 0) Authorization = Value;
  if (Authorization.mid(7).trimmed().toStdString() != Token) std::abort();
  const QString Path = AUrl.path();
  switch (Request.Action) {
    case TControlRequest::TAction::Status:
      if (Path != "/status" || AMethod != TMethod::Get) std::abort();
      break;
    case TControlRequest::TAction::History:
      if (Path != "/history" || AMethod != TMethod::Get) std::abort();
      if (Request.Since < 0 || Request.Limit < 1 || Request.Limit > TControlRequest::MaxHistoryRows)
        std::abort();
      break;
    default:
      if (AMethod != TMethod::Post) std::abort();
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  const QByteArray Input(reinterpret_cast<const char*>(AData), static_cast<qsizetype>(ASize));
  const QList<QByteArray> Lines = Input.split('\n');
  const QByteArray RequestLine = Lines.front().trimmed();
  const qsizetype Space = RequestLine.indexOf(' ');
  if (Space < 0) return 0;
  const TMethod Method = MethodOf(RequestLine.left(Space));
  QByteArray Target = RequestLine.mid(Space + 1);
  if (Target.endsWith(" HTTP/1.1") || Target.endsWith(" HTTP/1.0")) Target.chop(9);
  QList<QPair<QByteArray, QByteArray>> Headers;
  for (qsizetype I = 1; I < Lines.size(); ++I) {
    const QByteArray Line = Lines[I].endsWith('\r') ? Lines[I].chopped(1) : Lines[I];
    if (Line.isEmpty()) break;
    const qsizetype Colon = Line.indexOf(':');
    if (Colon < 0) continue;
    Headers.append({Line.left(Colon), Line.mid(Colon + 1).trimmed()});
  }
  // The address as the server builds it from the request target, and as a
  // client's own text would give it.
  Check(Method, QUrl::fromEncoded("http://127.0.0.1:7480" + Target), Headers);
  Check(Method, QUrl(QString::fromUtf8(Target)), Headers);
  return 0;
}
