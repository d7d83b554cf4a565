#pragma once

#include <QImage>
#include <vector>

#include "TComponent.h"

class TIcon;

// A numbered list of pictures, handed out as icons.
class TImageList : public TComponent {
 public:
  explicit TImageList(TComponent* AOwner) : TComponent(AOwner) {}

  // Appends a picture and returns its number.
  int Add(const QImage& APicture);
  int Count() const { return static_cast<int>(FPictures.size()); }

  // Puts picture number AIndex into AIcon; a number the list does not hold
  // leaves AIcon as it is.
  void GetIcon(int AIndex, TIcon* AIcon) const;

 private:
  std::vector<QImage> FPictures;
};
