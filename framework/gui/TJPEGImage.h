#pragma once

#include <QByteArray>
#include <QImage>
#include <string>

// A JPEG picture, decoded with libjpeg. A picture that cannot be decoded
// leaves it empty.
class TJPEGImage {
 public:
  bool Empty() const { return FImage.isNull(); }
  int Width() const { return FImage.width(); }
  int Height() const { return FImage.height(); }
  const QImage& Image() const { return FImage; }

  // Decodes AData; false, and empty, when it is not a whole JPEG picture.
  bool LoadFromData(const QByteArray& AData);
  // Reads and decodes a file or a Qt resource (":/..."); false, and empty,
  // when it cannot be read or decoded.
  bool LoadFromFile(const std::string& AFileName);

 private:
  QImage FImage;
};
