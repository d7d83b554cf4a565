#include "Unit1.h"

TForm1::TForm1(QWidget* AParent) : QWidget(AParent), TComponent(nullptr) {
  setWindowTitle(QStringLiteral("【Dravik】 V2.0"));
  resize(537, 406);
}
