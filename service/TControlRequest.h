#pragma once

// What a request to the control interface asks for, read from its method,
// target and headers alone: an action with its parameters, or the refusal
// to answer it with. Nothing here touches the rotation, so that every
// request can be checked without a service behind it.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <string>

struct TControlRequest {
  enum class TAction { Refuse, Status, Rotate, Pause, Resume, History, Metrics };
  static constexpr qint64 DefaultHistoryRows = 1000;
  // A page of the history at most; the answer's "next" leads to the rest.
  static constexpr qint64 MaxHistoryRows = 10000;

  TAction Action = TAction::Refuse;
  // HEAD: the answer's head alone.
  bool HeadOnly = false;
  // A refusal: its HTTP status, the error text and one header to send with
  // it (none when the name is empty).
  int Code = 200;
  QString Error;
  QByteArray HeaderName;
  QByteArray HeaderValue;
  // History: rows from this time on (ms since the epoch), after the row
  // AfterId (the cursor of the page before), at most Limit.
  qint64 Since = 0;
  qint64 AfterId = 0;
  qint64 Limit = DefaultHistoryRows;
  // last=N: the latest Limit rows from Since on, in one page.
  bool Latest = false;
};

// The request read against the bearer token AToken: the token is checked
// before anything else is looked at. ATarget is the request target as sent
// ("/history?since=0").
TControlRequest ReadControlRequest(const QByteArray& AMethod, const QByteArray& ATarget,
                                   const QList<QPair<QByteArray, QByteArray>>& AHeaders,
                                   const std::string& AToken);

// The token of an Authorization field's value when its scheme is Bearer
// (in any case, RFC 9110); empty otherwise.
QByteArray BearerToken(const QByteArray& AAuthorization);
