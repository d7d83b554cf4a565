#include "THttpRequestHead.h"

#include <cstring>

namespace {

bool IsTokenCharacter(char C) {
  return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9') ||
         (C != '\0' && std::strchr("!#$%&'*+-.^_`|~", C) != nullptr);
}

bool IsToken(const QByteArray& AText) {
  if (AText.isEmpty()) return false;
  for (const char C : AText)
    if (!IsTokenCharacter(C)) return false;
  return true;
}

// A field value may hold visible characters, blanks and tabs, and bytes
// from 0x80 on (obsolete text); no other control character.
bool IsFieldValue(const QByteArray& AText) {
  for (const char C : AText) {
    const auto Byte = static_cast<unsigned char>(C);
    if ((Byte < 0x20 && Byte != '\t') || Byte == 0x7F) return false;
  }
  return true;
}

// The request target as it is sent: visible ASCII only.
bool IsTarget(const QByteArray& AText) {
  if (AText.isEmpty()) return false;
  for (const char C : AText) {
    const auto Byte = static_cast<unsigned char>(C);
    if (Byte <= 0x20 || Byte >= 0x7F) return false;
  }
  return true;
}

QByteArray Trimmed(const QByteArray& AText) {
  qsizetype Begin = 0;
  qsizetype End = AText.size();
  while (Begin < End && (AText[Begin] == ' ' || AText[Begin] == '\t')) ++Begin;
  while (End > Begin && (AText[End - 1] == ' ' || AText[End - 1] == '\t')) --End;
  return AText.mid(Begin, End - Begin);
}

THttpRequestHead Refusal(int ACode, const QString& AError) {
  THttpRequestHead Head;
  Head.State = THttpRequestHead::TState::Refused;
  Head.Code = ACode;
  Head.Error = AError;
  Head.Close = true;
  return Head;
}

}  // namespace

THttpRequestHead ReadHttpRequestHead(const QByteArray& AInput, size_t AMaxBytes, int AMaxFields) {
  const qsizetype Limit = std::min<qsizetype>(AInput.size(), static_cast<qsizetype>(AMaxBytes));
  // The lines of the head, each without its line end; the head ends at the
  // first empty line after the request line.
  QList<QByteArray> Lines;
  qsizetype Position = 0;
  bool Ended = false;
  while (Position < Limit) {
    const qsizetype Break = AInput.indexOf('\n', Position);
    if (Break < 0 || Break >= Limit) break;
    QByteArray Line = AInput.mid(Position, Break - Position);
    if (Line.endsWith('\r')) Line.chop(1);
    Position = Break + 1;
    if (Line.isEmpty()) {
      if (Lines.isEmpty()) continue;
      Ended = true;
      break;
    }
    if (Lines.size() > AMaxFields) return Refusal(431, "the request has too many header fields");
    Lines.append(Line);
  }
  if (!Ended) {
    if (static_cast<size_t>(AInput.size()) >= AMaxBytes)
      return Refusal(431, QString("the request's head is larger than %1 bytes").arg(AMaxBytes));
    return THttpRequestHead();
  }

  const QList<QByteArray> Parts = Lines.front().split(' ');
  if (Parts.size() != 3 || !IsToken(Parts[0]) || !IsTarget(Parts[1]))
    return Refusal(400, "the request line is not METHOD TARGET HTTP/1.1");
  THttpRequestHead Head;
  const QByteArray& Version = Parts[2];
  if (Version == "HTTP/1.1") {
    Head.Minor = 1;
  } else if (Version == "HTTP/1.0") {
    Head.Minor = 0;
    Head.Close = true;
  } else if (Version.size() == 8 && Version.startsWith("HTTP/") && Version[6] == '.' &&
             Version[5] >= '0' && Version[5] <= '9' && Version[7] >= '0' && Version[7] <= '9') {
    return Refusal(505, "only HTTP/1.0 and HTTP/1.1 are spoken here");
  } else {
    return Refusal(400, "the request line is not METHOD TARGET HTTP/1.1");
  }
  Head.Method = Parts[0];
  Head.Target = Parts[1];

  int LengthFields = 0;
  for (qsizetype I = 1; I < Lines.size(); ++I) {
    const QByteArray& Line = Lines[I];
    // A line folded onto the one before (obsolete) or without a colon.
    const qsizetype Colon = Line.indexOf(':');
    if (Colon <= 0) return Refusal(400, "a header field is not NAME: VALUE");
    const QByteArray Name = Line.left(Colon);
    const QByteArray Value = Trimmed(Line.mid(Colon + 1));
    if (!IsToken(Name) || !IsFieldValue(Value))
      return Refusal(400, "a header field is not NAME: VALUE");
    if (Name.compare("content-length", Qt::CaseInsensitive) == 0) {
      // One length, digits only: two of them, or a list, could be read
      // differently by a proxy in front.
      if (++LengthFields > 1 || Value.isEmpty() || Value.size() > 18)
        return Refusal(400, "the request's Content-Length is not one whole number");
      for (const char C : Value)
        if (C < '0' || C > '9')
          return Refusal(400, "the request's Content-Length is not one whole number");
      Head.ContentLength = Value.toLongLong();
    } else if (Name.compare("transfer-encoding", Qt::CaseInsensitive) == 0) {
      Head.HasTransferEncoding = true;
    } else if (Name.compare("connection", Qt::CaseInsensitive) == 0) {
      for (const QByteArray& Option : Value.split(','))
        if (Trimmed(Option).compare("close", Qt::CaseInsensitive) == 0) Head.Close = true;
    }
    Head.Headers.append({Name, Value});
  }
  if (Head.HasTransferEncoding && Head.ContentLength >= 0)
    return Refusal(400, "the request has both Content-Length and Transfer-Encoding");
  Head.State = THttpRequestHead::TState::Complete;
  Head.Length = Position;
  return Head;
}
