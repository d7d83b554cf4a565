#include "TImageList.h"

#include "TIcon.h"

int TImageList::Add(const QImage& APicture) {
  FPictures.push_back(APicture);
  return Count() - 1;
}

void TImageList::GetIcon(int AIndex, TIcon* AIcon) const {
  if (AIcon == nullptr || AIndex < 0 || AIndex >= Count()) return;
  AIcon->SetImage(FPictures[static_cast<size_t>(AIndex)]);
}
