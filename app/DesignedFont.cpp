#include "DesignedFont.h"

#include <QFont>
#include <QWidget>

void UseDesignedFont(QWidget* AForm) {
  // 宋体 is rarely installed outside Chinese Windows; these draw the same
  // characters at the same size.
  QFont::insertSubstitutions(
      QStringLiteral("宋体"),
      {QStringLiteral("SimSun"), QStringLiteral("NSimSun"), QStringLiteral("WenQuanYi Zen Hei"),
       QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans SC")});
  QFont Font = AForm->font();
  Font.setFamily(QStringLiteral("宋体"));
  Font.setPixelSize(12);
  AForm->setFont(Font);
}
