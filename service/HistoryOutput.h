#pragma once

// dravikctl's forms of the history: a table for people, CSV and JSON for
// programs. Rows come as the control interface answers them, a page at a
// time, and are printed as they come.

#include <QJsonArray>
#include <QJsonObject>
#include <cstdio>

class THistoryOutput {
 public:
  enum class TForm { Table, Csv, Json };
  THistoryOutput(TForm AForm, FILE* AOut) : FForm(AForm), FOut(AOut) {}

  void Add(const QJsonArray& ARows);
  // Closes the form: the JSON document, or a line saying there were none.
  void Finish();

  // A CSV field as RFC 4180 quotes it, when it needs quotes.
  static QByteArray CsvField(const QString& AText);

 private:
  void Heading();
  TForm FForm;
  FILE* FOut;
  bool FHeaded = false;
  QJsonArray FAll;  // the JSON form is one document
};
