#include "TColor.h"

#include <QColor>
#include <QGuiApplication>
#include <QPalette>

namespace {

struct TSystemColor {
  uint32_t Index;
  QPalette::ColorRole Role;
};

constexpr TSystemColor SystemColors[] = {
    {5, QPalette::Base},         // COLOR_WINDOW
    {8, QPalette::Text},         // COLOR_WINDOWTEXT
    {15, QPalette::Button},      // COLOR_BTNFACE
    {18, QPalette::ButtonText},  // COLOR_BTNTEXT
    {13, QPalette::Highlight},   // COLOR_HIGHLIGHT
    {14, QPalette::HighlightedText},
};

}  // namespace

QColor ColorToQColor(TColor AColor) {
  const auto Value = static_cast<uint32_t>(AColor);
  if ((Value & 0x80000000u) == 0)
    return QColor(static_cast<int>(Value & 0xFF), static_cast<int>((Value >> 8) & 0xFF),
                  static_cast<int>((Value >> 16) & 0xFF));
  for (const TSystemColor& Entry : SystemColors)
    if (Entry.Index == (Value & 0xFF)) return QGuiApplication::palette().color(Entry.Role);
  return QColor(Qt::black);
}
