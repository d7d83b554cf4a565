#pragma once

// What a request to the control interface asks for, read from its method,
// address and headers alone: an action with its parameters, or the refusal
// to answer it with. Nothing here touches the rotation, so that every
// request can be checked without a service behind it.

#include <QByteArray>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>
#include <string>

struct TControlRequest {
  enum class TAction { Refuse, Status, Rotate, Pause, Resume, History };
  static constexpr qint64 DefaultHistoryRows = 1000;
  static constexpr qint64 MaxHistoryRows = 100000;

  TAction Action = TAction::Refuse;
  // A refusal: its status, the error text and one header to send with it
  // (none when the name is empty).
  QHttpServerResponder::StatusCode Code = QHttpServerResponder::StatusCode::Ok;
  QString Error;
  QByteArray HeaderName;
  QByteArray HeaderValue;
  // History: rows from this time on (ms since the epoch), at most Limit.
  qint64 Since = 0;
  qint64 Limit = DefaultHistoryRows;
};

// The request read against the bearer token AToken: the token is checked
// before anything else is looked at.
TControlRequest ReadControlRequest(QHttpServerRequest::Method AMethod, const QUrl& AUrl,
                                   const QList<QPair<QByteArray, QByteArray>>& AHeaders,
                                   const std::string& AToken);
