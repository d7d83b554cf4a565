#include <QCursor>
#include <QGuiApplication>
#include <atomic>

#include "WinUser.h"

namespace {
std::atomic<HWND> Foreground{nullptr};

bool HaveGui() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }
}  // namespace

TInputStandIns& InputStandIns() {
  static TInputStandIns StandIns;
  return StandIns;
}

BOOL WINAPI GetCursorPos(POINT* lpPoint) {
  if (lpPoint == nullptr) return 0;
  if (InputStandIns().CursorPos) return InputStandIns().CursorPos(lpPoint);
  if (!HaveGui()) return 0;
  const QPoint Position = QCursor::pos();
  lpPoint->x = Position.x();
  lpPoint->y = Position.y();
  return 1;
}

SHORT WINAPI GetKeyState(int nVirtKey) {
  if (InputStandIns().KeyState) return InputStandIns().KeyState(nVirtKey);
  if (!HaveGui()) return 0;
  Qt::KeyboardModifier Modifier;
  switch (nVirtKey) {
    case VK_SHIFT:
      Modifier = Qt::ShiftModifier;
      break;
    case VK_CONTROL:
      Modifier = Qt::ControlModifier;
      break;
    case VK_MENU:
      Modifier = Qt::AltModifier;
      break;
    default:
      return 0;
  }
  const bool Down = QGuiApplication::queryKeyboardModifiers().testFlag(Modifier);
  return Down ? static_cast<SHORT>(0x8000) : 0;
}

BOOL WINAPI SetForegroundWindow(HWND hWnd) {
  if (InputStandIns().ForegroundWindow) return InputStandIns().ForegroundWindow(hWnd);
  if (hWnd == nullptr) return 0;
  Foreground = hWnd;
  return 1;
}

HWND WINAPI GetForegroundWindow() { return Foreground; }
