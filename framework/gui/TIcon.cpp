#include "TIcon.h"

#include <QString>

#include "Exception.h"

TIcon::~TIcon() { ReleaseHandle(); }

void TIcon::ReleaseHandle() {
  if (FHandle != nullptr) DestroyIcon(FHandle);
  FHandle = nullptr;
}

void TIcon::Assign(const TIcon* ASource) {
  SetImage(ASource != nullptr ? ASource->FImage : QImage());
}

void TIcon::SetImage(const QImage& AImage) {
  ReleaseHandle();
  FImage = AImage.isNull() ? QImage() : AImage.convertToFormat(QImage::Format_ARGB32);
}

bool TIcon::LoadFromFile(const std::string& AFileName) {
  QImage Loaded;
  if (!Loaded.load(QString::fromLocal8Bit(AFileName.c_str()))) return false;
  SetImage(Loaded);
  return true;
}

HICON TIcon::Handle() {
  if (FHandle == nullptr && !FImage.isNull()) {
    // The rows of a 32-bit picture are whole 0xAARRGGBB values without gaps.
    FHandle =
        CreateIcon(nullptr, FImage.width(), FImage.height(), 1, 32, nullptr, FImage.constBits());
    if (FHandle == nullptr) throw Exception("Invalid icon");
  }
  return FHandle;
}
