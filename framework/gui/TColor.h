#pragma once

#include <cstdint>

class QColor;

// A colour: 0x00BBGGRR for a plain colour, or 0x80000000 plus the index of
// one of the system's colours.
using TColor = int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clBtnFace = static_cast<TColor>(0x8000000Fu);
constexpr TColor clWindow = static_cast<TColor>(0x80000005u);
constexpr TColor clWindowText = static_cast<TColor>(0x80000008u);
constexpr TColor clBtnText = static_cast<TColor>(0x80000012u);

// The colour as the screen shows it: a system colour is looked up in the
// toolkit's palette (black for an index it does not know).
QColor ColorToQColor(TColor AColor);
