#include "TGraphicControl.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "TApplication.h"

namespace {

// The window message for a mouse event of the toolkit; 0 for none.
UINT MessageOf(const QMouseEvent& AEvent) {
  const int Button = AEvent.button() == Qt::LeftButton     ? 0
                     : AEvent.button() == Qt::RightButton  ? 1
                     : AEvent.button() == Qt::MiddleButton ? 2
                                                           : -1;
  const UINT Base = Button == 0 ? WM_LBUTTONDOWN : Button == 1 ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
  switch (AEvent.type()) {
    case QEvent::MouseMove:
      return WM_MOUSEMOVE;
    case QEvent::MouseButtonPress:
      return Button < 0 ? 0 : Base;
    case QEvent::MouseButtonRelease:
      return Button < 0 ? 0 : Base + 1;
    case QEvent::MouseButtonDblClick:
      return Button < 0 ? 0 : Base + 2;
    default:
      return 0;
  }
}

WPARAM KeysOf(const QMouseEvent& AEvent) {
  WPARAM Keys = 0;
  if (AEvent.buttons() & Qt::LeftButton) Keys |= MK_LBUTTON;
  if (AEvent.buttons() & Qt::RightButton) Keys |= MK_RBUTTON;
  if (AEvent.buttons() & Qt::MiddleButton) Keys |= MK_MBUTTON;
  if (AEvent.modifiers() & Qt::ShiftModifier) Keys |= MK_SHIFT;
  if (AEvent.modifiers() & Qt::ControlModifier) Keys |= MK_CONTROL;
  return Keys;
}

}  // namespace

TGraphicControl::TGraphicControl(QWidget* AParent, TComponent* AOwner)
    : QWidget(AParent), TComponent(AOwner) {}

void TGraphicControl::SetCursor(TCursor ACursor) {
  FCursor = ACursor;
  if (ACursor == crHandPoint)
    setCursor(Qt::PointingHandCursor);
  else
    unsetCursor();
}

void TGraphicControl::Invalidate() { update(); }

void TGraphicControl::WndProc(TMessage&) {}

bool TGraphicControl::event(QEvent* AEvent) {
  switch (AEvent->type()) {
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
      const auto& Mouse = static_cast<const QMouseEvent&>(*AEvent);
      if (const UINT Msg = MessageOf(Mouse)) {
        const QPoint Where = Mouse.position().toPoint();
        const auto Position =
            static_cast<LPARAM>((static_cast<uint32_t>(Where.y() & 0xFFFF) << 16) |
                                static_cast<uint32_t>(Where.x() & 0xFFFF));
        TMessage Message{Msg, KeysOf(Mouse), Position, 0};
        TApplication::Guarded([&] { WndProc(Message); });
      }
      break;
    }
    case QEvent::Enter:
      TApplication::Guarded([this] { MouseEnter(); });
      break;
    case QEvent::Leave:
      TApplication::Guarded([this] { MouseLeave(); });
      break;
    default:
      break;
  }
  return QWidget::event(AEvent);
}

void TGraphicControl::paintEvent(QPaintEvent* AEvent) {
  QPainter Painter(this);
  FCanvas.BeginPaint(&Painter, AEvent->rect());
  TApplication::Guarded([this] { Paint(); });
  FCanvas.EndPaint();
}
