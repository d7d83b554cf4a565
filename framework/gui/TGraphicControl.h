#pragma once

#include <QWidget>

#include "TCanvas.h"
#include "TComponent.h"
#include "TMessageWindow.h"

using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crHandPoint = -21;

// A small control that paints itself through its canvas. Mouse input reaches
// WndProc first as the window messages Windows would send (a double click's
// second press arrives as WM_LBUTTONDBLCLK), then the toolkit's own handling.
// Its owner, if any, frees it; so does its parent widget.
class TGraphicControl : public QWidget, public TComponent {
 public:
  explicit TGraphicControl(QWidget* AParent = nullptr, TComponent* AOwner = nullptr);

  int Left() const { return x(); }
  int Top() const { return y(); }
  int Width() const { return width(); }
  int Height() const { return height(); }
  void SetLeft(int ALeft) { move(ALeft, y()); }
  void SetTop(int ATop) { move(x(), ATop); }
  void SetWidth(int AWidth) { resize(AWidth, height()); }
  void SetHeight(int AHeight) { resize(width(), AHeight); }

  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor ACursor);

  TCanvas* Canvas() { return &FCanvas; }

  // Asks for a repaint.
  virtual void Invalidate();

 protected:
  virtual void Paint() {}
  virtual void WndProc(TMessage& AMessage);
  virtual void MouseEnter() {}
  virtual void MouseLeave() {}

  bool event(QEvent* AEvent) override;
  void paintEvent(QPaintEvent* AEvent) override;

 private:
  TCanvas FCanvas;
  TCursor FCursor = crDefault;
};
