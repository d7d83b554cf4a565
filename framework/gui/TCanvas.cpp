#include "TCanvas.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QString>

namespace {
QString FromSystem(const std::string& AText) { return QString::fromLocal8Bit(AText.c_str()); }
}  // namespace

void TFont::SetName(const std::string& AName) {
  if (!AName.empty()) FName = AName;
}

QFont TFont::ToQFont() const {
  QFont Font = QApplication::font();
  if (!FName.empty()) Font.setFamily(FromSystem(FName));
  Font.setBold((FStyle & fsBold) != 0);
  Font.setItalic((FStyle & fsItalic) != 0);
  Font.setUnderline((FStyle & fsUnderline) != 0);
  Font.setStrikeOut((FStyle & fsStrikeOut) != 0);
  return Font;
}

int TCanvas::TextWidth(const std::string& AText) const {
  return QFontMetrics(FFont.ToQFont()).horizontalAdvance(FromSystem(AText));
}

int TCanvas::TextHeight(const std::string&) const { return QFontMetrics(FFont.ToQFont()).height(); }

QRect TCanvas::ClipRect() const { return FClip; }

void TCanvas::FillRect(const QRect& ARect) {
  if (FPainter != nullptr) FPainter->fillRect(ARect, ColorToQColor(FBrush.Color()));
}

void TCanvas::TextOut(int X, int Y, const std::string& AText) {
  if (FPainter == nullptr) return;
  const QFont Font = FFont.ToQFont();
  FPainter->setFont(Font);
  FPainter->setPen(ColorToQColor(FFont.Color()));
  FPainter->drawText(QPoint(X, Y + QFontMetrics(Font).ascent()), FromSystem(AText));
}

void TCanvas::BeginPaint(QPainter* APainter, const QRect& AClip) {
  FPainter = APainter;
  FClip = AClip;
}

void TCanvas::EndPaint() {
  FPainter = nullptr;
  FClip = QRect();
}
