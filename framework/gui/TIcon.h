#pragma once

#include <QImage>
#include <string>

#include "WinUser.h"

// A picture for an icon. Its handle is made when first asked for and ends
// with the picture.
class TIcon {
 public:
  TIcon() = default;
  ~TIcon();
  TIcon(const TIcon&) = delete;
  TIcon& operator=(const TIcon&) = delete;

  bool Empty() const { return FImage.isNull(); }
  int Width() const { return FImage.width(); }
  int Height() const { return FImage.height(); }
  const QImage& Image() const { return FImage; }

  // Copies the picture of ASource; none (or an empty one) clears this one.
  void Assign(const TIcon* ASource);
  // Takes the picture; a null image clears.
  void SetImage(const QImage& AImage);
  // Reads a picture file (PNG, SVG, ...); false, and unchanged, when it cannot.
  bool LoadFromFile(const std::string& AFileName);

  // The icon handle of the picture, none while empty. Throws when the
  // platform cannot make an icon of it.
  HICON Handle();

 private:
  void ReleaseHandle();

  QImage FImage;
  HICON FHandle = nullptr;
};
