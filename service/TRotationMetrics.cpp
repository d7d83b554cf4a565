#include "TRotationMetrics.h"

#include <algorithm>

TDurationHistogram::TDurationHistogram(std::vector<double> ABoundsSeconds)
    : FBounds(std::move(ABoundsSeconds)), FInBucket(FBounds.size(), 0) {}

void TDurationHistogram::Observe(double ASeconds) {
  ++FCount;
  FSum += ASeconds;
  const auto Bound = std::lower_bound(FBounds.begin(), FBounds.end(), ASeconds);
  if (Bound != FBounds.end()) ++FInBucket[static_cast<size_t>(Bound - FBounds.begin())];
}

uint64_t TDurationHistogram::CountAtMost(size_t AIndex) const {
  uint64_t Count = 0;
  for (size_t I = 0; I <= AIndex && I < FInBucket.size(); ++I) Count += FInBucket[I];
  return Count;
}
