#pragma once

#include <QColor>

// What the About window's picture is drawn from, for the program that draws
// it and the tests that look at it.
namespace AboutPicture {

inline constexpr int Width = 130;
inline constexpr int Height = 60;
inline const QColor DarkTeal(0x00, 0x4d, 0x4d);
inline const QColor LightTeal(0x1a, 0xa6, 0xa6);
inline const QColor Yellow(0xff, 0xd2, 0x3f);
inline const QColor White(0xff, 0xff, 0xff);
// The bars stand on y = 52, 12 wide, 17 apart, from this x.
inline constexpr int FirstBarX = 62;

}  // namespace AboutPicture
