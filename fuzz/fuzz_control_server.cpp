// The control interface's reading of a request, as the server does it: the
// head read from the bytes received (request line and header fields, within
// the head's cap), then the request read from its method, target and
// headers. Whatever comes, the head is taken whole or refused with a reason
// (never read past its cap, and no shorter part of it taken), nothing is done
// without the right bearer token, a refusal says why, and the history's
// parameters are within their ranges.
//
// Input: the bytes a connection receives: "METHOD TARGET HTTP/1.1", header
// lines, a blank line and whatever follows.

#include <QByteArray>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "TControlRequest.h"
#include "THttpRequestHead.h"

namespace {

const std::string Token = "0123456789abcdef0123456789abcdef";
// Small, so that the fuzzer reaches the cap.
constexpr size_t MaxHead = 512;
constexpr int MaxFields = 8;

void Check(const THttpRequestHead& AHead) {
  const TControlRequest Request =
      ReadControlRequest(AHead.Method, AHead.Target, AHead.Headers, Token);
  if (Request.Action == TControlRequest::TAction::Refuse) {
    if (Request.Code < 400 || Request.Code > 599 || Request.Error.isEmpty()) std::abort();
    return;
  }
  // Only the token opens the door: one Authorization field, scheme Bearer
  // in any case, the token itself.
  int Authorizations = 0;
  QByteArray Authorization;
  for (const auto& [Name, Value] : AHead.Headers) {
    if (Name.compare("authorization", Qt::CaseInsensitive) == 0) {
      Authorization = Value;
      ++Authorizations;
    }
  }
  if (Authorizations != 1 || Authorization.left(7).toLower() != "bearer " ||
      Authorization.mid(7).trimmed().toStdString() != Token)
    std::abort();
  const bool Get = AHead.Method == "GET" || AHead.Method == "HEAD";
  if (Request.HeadOnly != (AHead.Method == "HEAD")) std::abort();
  switch (Request.Action) {
    case TControlRequest::TAction::Status:
      if (!Get) std::abort();
      break;
    case TControlRequest::TAction::History:
      if (!Get) std::abort();
      if (Request.Since < 0 || Request.AfterId < 0 || Request.Limit < 1 ||
          Request.Limit > TControlRequest::MaxHistoryRows)
        std::abort();
      break;
    default:
      if (AHead.Method != "POST") std::abort();
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  const QByteArray Input(reinterpret_cast<const char*>(AData), static_cast<qsizetype>(ASize));
  const THttpRequestHead Head = ReadHttpRequestHead(Input, MaxHead, MaxFields);
  switch (Head.State) {
    case THttpRequestHead::TState::Incomplete:
      // More bytes are only awaited below the cap.
      if (ASize >= MaxHead) std::abort();
      break;
    case THttpRequestHead::TState::Refused:
      if (Head.Code < 400 || Head.Error.isEmpty() || !Head.Close) std::abort();
      break;
    case THttpRequestHead::TState::Complete: {
      if (Head.Length <= 0 || static_cast<size_t>(Head.Length) > std::min(ASize, MaxHead) ||
          Head.Method.isEmpty() || Head.Target.isEmpty() || Head.Headers.size() > MaxFields ||
          (Head.HasTransferEncoding && Head.ContentLength >= 0) || Head.ContentLength < -1)
        std::abort();
      if (Head.Minor == 0 && !Head.Close) std::abort();
      // The head ends where it was found to: any shorter part of it waits for more.
      const THttpRequestHead Part =
          ReadHttpRequestHead(Input.left(Head.Length - 1), MaxHead, MaxFields);
      if (Part.State != THttpRequestHead::TState::Incomplete) std::abort();
      Check(Head);
      break;
    }
  }
  return 0;
}
