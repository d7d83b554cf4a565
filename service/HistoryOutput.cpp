#include "HistoryOutput.h"

#include <QJsonDocument>

namespace {

QString Text(const QJsonObject& AObject, const char* AKey) {
  return AObject.value(AKey).toString();
}

// Every field of a row, in the database's order.
const char* const CsvColumns[] = {"time",         "entry",          "outcome", "line_address",
                                  "peer_address", "public_address", "dial_ms", "error_code",
                                  "detail",       "simulated",      "reason",  "address6",
                                  "prefix6"};

QString FieldText(const QJsonValue& AValue) {
  if (AValue.isBool()) return AValue.toBool() ? "1" : "0";
  if (AValue.isDouble()) return QString::number(AValue.toVariant().toLongLong());
  return AValue.toString();
}

}  // namespace

QByteArray THistoryOutput::CsvField(const QString& AText) {
  QByteArray Field = AText.toUtf8();
  if (!Field.contains(',') && !Field.contains('"') && !Field.contains('\n') &&
      !Field.contains('\r'))
    return Field;
  Field.replace("\"", "\"\"");
  return "\"" + Field + "\"";
}

void THistoryOutput::Heading() {
  if (FHeaded) return;
  FHeaded = true;
  if (FForm == TForm::Table) {
    std::fprintf(FOut, "%-24s %-16s %-13s %-15s %-15s %8s  %s\n", "time", "entry", "outcome",
                 "address", "public", "dial ms", "error");
  } else if (FForm == TForm::Csv) {
    QByteArray Line;
    for (const char* Column : CsvColumns) Line += QByteArray(Line.isEmpty() ? "" : ",") + Column;
    std::fprintf(FOut, "%s\r\n", Line.constData());
  }
}

void THistoryOutput::Add(const QJsonArray& ARows) {
  if (FForm == TForm::Json) {
    for (const QJsonValue& Row : ARows) FAll.append(Row);
    return;
  }
  // CSV has its heading even with no rows, so that a program reads the columns.
  if (FForm == TForm::Csv || !ARows.isEmpty()) Heading();
  for (const QJsonValue& Value : ARows) {
    const QJsonObject Row = Value.toObject();
    if (FForm == TForm::Csv) {
      QByteArray Line;
      for (const char* Column : CsvColumns)
        Line += QByteArray(Line.isEmpty() ? "" : ",") + CsvField(FieldText(Row.value(Column)));
      std::fprintf(FOut, "%s\r\n", Line.constData());
      continue;
    }
    // A redial's reason says which repeat it was (address or subnet).
    QString Error = Text(Row, "reason");
    if (Row.value("error_code").toInt() != 0)
      Error += (Error.isEmpty() ? "" : " ") + QString::number(Row.value("error_code").toInt());
    if (!Text(Row, "detail").isEmpty()) Error += (Error.isEmpty() ? "" : " ") + Text(Row, "detail");
    if (Row.value("simulated").toBool())
      Error += QString(Error.isEmpty() ? "" : " ") + "(simulated line)";
    std::fprintf(FOut, "%-24s %-16s %-13s %-15s %-15s %8lld  %s\n", qPrintable(Text(Row, "time")),
                 qPrintable(Text(Row, "entry")), qPrintable(Text(Row, "outcome")),
                 qPrintable(Text(Row, "line_address")), qPrintable(Text(Row, "public_address")),
                 static_cast<long long>(Row.value("dial_ms").toDouble()), qPrintable(Error));
  }
}

void THistoryOutput::Finish() {
  if (FForm == TForm::Json) {
    std::fprintf(
        FOut, "%s\n",
        QJsonDocument(QJsonObject{{"rows", FAll}}).toJson(QJsonDocument::Indented).constData());
  } else if (FForm == TForm::Csv) {
    Heading();
  } else if (!FHeaded) {
    std::fprintf(FOut, "no dials recorded\n");
  }
}
