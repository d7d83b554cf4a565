#pragma once

#include <QWidget>

#include "TComponent.h"

// The main window.
class TForm1 : public QWidget, public TComponent {
  Q_OBJECT
 public:
  explicit TForm1(QWidget* AParent = nullptr);
};
