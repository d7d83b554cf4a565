#include "ButtonPictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QPixmap>

namespace {

constexpr int Size = 32;

QPixmap Blank() {
  QPixmap Picture(Size, Size);
  Picture.fill(Qt::transparent);
  return Picture;
}

void DrawPlug(QPainter& APainter, const QColor& AColour, bool AApart) {
  APainter.setPen(QPen(Qt::black, 1));
  APainter.setBrush(AColour);
  const int Gap = AApart ? 4 : 0;
  // Left half with two pins, right half with the socket; apart when cut.
  APainter.drawRect(3, 11, 10 - Gap, 10);
  APainter.drawRect(13 - Gap, 13, 4, 2);
  APainter.drawRect(13 - Gap, 17, 4, 2);
  APainter.drawRect(17 + Gap, 10, 12 - Gap, 12);
  APainter.drawLine(0, 16, 3, 16);
}

QPixmap Draw(TButtonPicture APicture) {
  QPixmap Picture = Blank();
  QPainter Painter(&Picture);
  Painter.setRenderHint(QPainter::Antialiasing, false);
  switch (APicture) {
    case TButtonPicture::Connect:
      DrawPlug(Painter, QColor(0, 128, 0), false);
      break;
    case TButtonPicture::Disconnect:
      DrawPlug(Painter, QColor(192, 0, 0), true);
      Painter.setPen(QPen(QColor(255, 0, 0), 2));
      Painter.drawLine(14, 6, 18, 26);
      break;
    case TButtonPicture::Mail:
      Painter.setPen(QPen(Qt::black, 1));
      Painter.setBrush(QColor(255, 255, 0));
      Painter.drawRect(3, 8, 26, 17);
      Painter.drawLine(3, 8, 16, 18);
      Painter.drawLine(29, 8, 16, 18);
      break;
    case TButtonPicture::HomePage: {
      Painter.setPen(QPen(Qt::black, 1));
      Painter.setBrush(QColor(128, 0, 0));
      QPainterPath Roof;
      Roof.moveTo(16, 3);
      Roof.lineTo(30, 15);
      Roof.lineTo(2, 15);
      Roof.closeSubpath();
      Painter.drawPath(Roof);
      Painter.setBrush(QColor(192, 192, 192));
      Painter.drawRect(6, 15, 20, 14);
      Painter.setBrush(QColor(0, 0, 128));
      Painter.drawRect(13, 20, 6, 9);
      break;
    }
    case TButtonPicture::About:
      Painter.setPen(QPen(Qt::black, 1));
      Painter.setBrush(QColor(0, 0, 255));
      Painter.drawEllipse(3, 3, 25, 25);
      Painter.setPen(Qt::NoPen);
      Painter.setBrush(Qt::white);
      Painter.drawRect(14, 13, 4, 11);
      Painter.drawRect(14, 7, 4, 4);
      break;
    case TButtonPicture::Close:
      Painter.setRenderHint(QPainter::Antialiasing, true);
      Painter.setPen(QPen(QColor(0, 128, 0), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      Painter.drawPolyline(QPolygon({QPoint(6, 17), QPoint(13, 24), QPoint(26, 8)}));
      break;
  }
  return Picture;
}

}  // namespace

QIcon ButtonPicture(TButtonPicture APicture) { return QIcon(Draw(APicture)); }

QImage ProgramPicture() { return QImage(QStringLiteral(":/pictures/dravik-32.png")); }

QIcon WindowPicture() { return QIcon(QPixmap::fromImage(ProgramPicture())); }
