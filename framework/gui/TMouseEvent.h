#pragma once

#include "TEvent.h"

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// The keys and buttons held during a mouse event, as a set of flags.
using TShiftState = unsigned;
constexpr TShiftState ssShift = 0x01;
constexpr TShiftState ssAlt = 0x02;
constexpr TShiftState ssCtrl = 0x04;
constexpr TShiftState ssLeft = 0x08;
constexpr TShiftState ssRight = 0x10;
constexpr TShiftState ssMiddle = 0x20;
constexpr TShiftState ssDouble = 0x40;

// (Sender, Button, Shift, X, Y)
using TMouseEvent = TEvent<TObject*, TMouseButton, TShiftState, int, int>;
