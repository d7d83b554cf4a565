#pragma once

// The head of one HTTP/1.x request (request line and header fields), read
// from the bytes a connection has received so far, within fixed bounds:
// nothing beyond the head's cap is ever looked at, so a peer that never ends
// its head costs no more than that cap. The body, if any, is not read here;
// the head says how long it is.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

using THttpHeaders = QList<QPair<QByteArray, QByteArray>>;

struct THttpRequestHead {
  enum class TState {
    Incomplete,  // more bytes are needed and the cap is not reached
    Complete,    // the head is read; Length bytes of the input hold it
    Refused,     // Code and Error say why; the connection is to be closed
  };
  static constexpr size_t DefaultMaxBytes = 8192;
  static constexpr int DefaultMaxFields = 64;

  TState State = TState::Incomplete;
  int Code = 0;
  QString Error;

  QByteArray Method;
  QByteArray Target;
  int Minor = 1;  // HTTP/1.Minor
  THttpHeaders Headers;
  // -1: no Content-Length.
  qint64 ContentLength = -1;
  bool HasTransferEncoding = false;
  // The peer asked for the connection to end after the answer, or speaks
  // HTTP/1.0, where that is the rule.
  bool Close = false;
  // Bytes of the input the head took, its blank line included.
  qsizetype Length = 0;
};

// Reads the head from the start of AInput. Lines may end with CR LF or LF
// alone; leading empty lines before the request line are skipped, as
// RFC 9112 lets a server do.
THttpRequestHead ReadHttpRequestHead(const QByteArray& AInput,
                                     size_t AMaxBytes = THttpRequestHead::DefaultMaxBytes,
                                     int AMaxFields = THttpRequestHead::DefaultMaxFields);
