#pragma once

#include <QFont>
#include <QRect>
#include <string>

#include "TColor.h"

class QPainter;

enum TFontStyle : unsigned { fsBold = 0x1, fsItalic = 0x2, fsUnderline = 0x4, fsStrikeOut = 0x8 };
using TFontStyles = unsigned;

// The font a canvas writes with. An empty name keeps the face it has.
class TFont {
 public:
  const std::string& Name() const { return FName; }
  void SetName(const std::string& AName);
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles AStyle) { FStyle = AStyle; }
  TColor Color() const { return FColor; }
  void SetColor(TColor AColor) { FColor = AColor; }

  // The toolkit's font: its default face and size unless a name was set.
  QFont ToQFont() const;

 private:
  std::string FName;
  TFontStyles FStyle = 0;
  TColor FColor = clWindowText;
};

class TBrush {
 public:
  TColor Color() const { return FColor; }
  void SetColor(TColor AColor) { FColor = AColor; }

 private:
  TColor FColor = clWhite;
};

// A control's drawing surface: the font and brush it draws with, text
// measures, and while the control paints, filling and writing.
class TCanvas {
 public:
  TFont& Font() { return FFont; }
  TBrush& Brush() { return FBrush; }

  int TextWidth(const std::string& AText) const;
  int TextHeight(const std::string& AText) const;

  // Only while painting:
  QRect ClipRect() const;
  void FillRect(const QRect& ARect);
  // Writes AText with its top-left corner at (X, Y).
  void TextOut(int X, int Y, const std::string& AText);

  // The control binds its painter for the time of a paint.
  void BeginPaint(QPainter* APainter, const QRect& AClip);
  void EndPaint();

 private:
  TFont FFont;
  TBrush FBrush;
  QPainter* FPainter = nullptr;
  QRect FClip;
};
