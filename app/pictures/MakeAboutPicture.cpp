// make-about-picture: draws the About window's 130 x 60 picture (the product
// icon on the product's teal, with the rotating address as a row of bars) and
// writes it as a JPEG file. Runs at build time:
//
//   make-about-picture ICON.png OUT.jpg

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>
// clang-format on

#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include "AboutPictureColours.h"

namespace {

QImage Draw(const QImage& AIcon) {
  QImage Picture(AboutPicture::Width, AboutPicture::Height, QImage::Format_RGB888);
  QPainter Painter(&Picture);
  QLinearGradient Ground(0, 0, AboutPicture::Width, 0);
  Ground.setColorAt(0, AboutPicture::DarkTeal);
  Ground.setColorAt(1, AboutPicture::LightTeal);
  Painter.fillRect(Picture.rect(), Ground);
  Painter.setRenderHint(QPainter::Antialiasing);
  Painter.drawImage(QRect(4, 4, 52, 52), AIcon);
  // Four bars growing to the right: the address changing, round by round.
  for (int Bar = 0; Bar < 4; ++Bar) {
    const int Height = 14 + Bar * 9;
    Painter.fillRect(QRect(AboutPicture::FirstBarX + Bar * 17, 52 - Height, 12, Height),
                     AboutPicture::Yellow);
  }
  Painter.fillRect(QRect(AboutPicture::FirstBarX, 54, 63, 3), AboutPicture::White);
  return Picture;
}

bool WriteJpeg(const QImage& APicture, const char* AFileName) {
  FILE* File = std::fopen(AFileName, "wb");
  if (File == nullptr) return false;
  jpeg_compress_struct Info{};
  jpeg_error_mgr Errors{};
  Info.err = jpeg_std_error(&Errors);  // a failure here ends the build tool
  jpeg_create_compress(&Info);
  jpeg_stdio_dest(&Info, File);
  Info.image_width = static_cast<JDIMENSION>(APicture.width());
  Info.image_height = static_cast<JDIMENSION>(APicture.height());
  Info.input_components = 3;
  Info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&Info);
  jpeg_set_quality(&Info, 92, TRUE);
  jpeg_start_compress(&Info, TRUE);
  while (Info.next_scanline < Info.image_height) {
    auto* Row = const_cast<JSAMPROW>(APicture.constScanLine(static_cast<int>(Info.next_scanline)));
    jpeg_write_scanlines(&Info, &Row, 1);
  }
  jpeg_finish_compress(&Info);
  jpeg_destroy_compress(&Info);
  return std::fclose(File) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make-about-picture ICON.png OUT.jpg\n");
    return 2;
  }
  const QImage Icon(QString::fromLocal8Bit(argv[1]));
  if (Icon.isNull()) {
    std::fprintf(stderr, "make-about-picture: cannot read %s\n", argv[1]);
    return 1;
  }
  if (!WriteJpeg(Draw(Icon), argv[2])) {
    std::fprintf(stderr, "make-about-picture: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
