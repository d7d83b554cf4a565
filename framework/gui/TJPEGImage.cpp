#include "TJPEGImage.h"

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>
// clang-format on

#include <QFile>
#include <csetjmp>

namespace {

// The largest picture decoded: far above any picture a window shows, low
// enough that a forged header cannot ask for gigabytes.
constexpr JDIMENSION MaxSide = 8192;
constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

struct TErrorManager {
  jpeg_error_mgr Standard;
  std::jmp_buf Escape;
};

// libjpeg's default ends the process on an error; this returns to the decoder.
void EscapeOnError(j_common_ptr AInfo) {
  auto* Errors = reinterpret_cast<TErrorManager*>(AInfo->err);
  std::longjmp(Errors->Escape, 1);
}

// Counts libjpeg's warnings without printing them: a truncated or corrupt
// picture only warns, and is refused all the same.
void CountWarning(j_common_ptr AInfo, int ALevel) {
  if (ALevel < 0) ++AInfo->err->num_warnings;
}

// Decodes into APicture, which the caller created; only plain data lives in
// this frame, so that leaving it by longjmp skips no destructor.
bool Decode(const unsigned char* AData, unsigned long ASize, QImage* APicture) {
  jpeg_decompress_struct Info{};
  TErrorManager Errors{};
  Info.err = jpeg_std_error(&Errors.Standard);
  Errors.Standard.error_exit = EscapeOnError;
  Errors.Standard.emit_message = CountWarning;
  if (setjmp(Errors.Escape) != 0) {
    jpeg_destroy_decompress(&Info);
    return false;
  }
  jpeg_create_decompress(&Info);
  jpeg_mem_src(&Info, AData, ASize);
  if (jpeg_read_header(&Info, TRUE) != JPEG_HEADER_OK || Info.image_width == 0 ||
      Info.image_height == 0 || Info.image_width > MaxSide || Info.image_height > MaxSide) {
    jpeg_destroy_decompress(&Info);
    return false;
  }
  Info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&Info);
  if (Info.output_components != 3) {
    jpeg_destroy_decompress(&Info);
    return false;
  }
  *APicture = QImage(static_cast<int>(Info.output_width), static_cast<int>(Info.output_height),
                     QImage::Format_RGB888);
  if (APicture->isNull()) {
    jpeg_destroy_decompress(&Info);
    return false;
  }
  while (Info.output_scanline < Info.output_height) {
    JSAMPROW Row = APicture->scanLine(static_cast<int>(Info.output_scanline));
    jpeg_read_scanlines(&Info, &Row, 1);
  }
  jpeg_finish_decompress(&Info);
  const bool Whole = Errors.Standard.num_warnings == 0;
  jpeg_destroy_decompress(&Info);
  return Whole;
}

}  // namespace

bool TJPEGImage::LoadFromData(const QByteArray& AData) {
  QImage Picture;
  if (AData.isEmpty() || !Decode(reinterpret_cast<const unsigned char*>(AData.constData()),
                                 static_cast<unsigned long>(AData.size()), &Picture)) {
    FImage = QImage();
    return false;
  }
  FImage = Picture.convertToFormat(QImage::Format_RGB32);
  return true;
}

bool TJPEGImage::LoadFromFile(const std::string& AFileName) {
  QFile File(QString::fromStdString(AFileName));
  if (!File.open(QIODevice::ReadOnly) || File.size() > MaxFileSize) {
    FImage = QImage();
    return false;
  }
  return LoadFromData(File.readAll());
}
