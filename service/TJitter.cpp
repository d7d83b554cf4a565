#include "TJitter.h"

#include <algorithm>

TJitter::TJitter(uint64_t ASeed) : FSeed(ASeed), FEngine(ASeed) {}

uint64_t TJitter::RandomSeed() {
  std::random_device Source;
  return (uint64_t(Source()) << 32) ^ Source();
}

int64_t TJitter::Draw(int64_t AMs, int64_t AJitterMs) {
  if (AJitterMs <= 0) return AMs;
  const int64_t Low = std::max<int64_t>(1000, AMs - AJitterMs);
  const int64_t High = std::max(Low, AMs + AJitterMs);
  const uint64_t Span = static_cast<uint64_t>(High - Low) + 1;
  // Drawn again when it falls in the engine's last incomplete run of Span
  // values: each value then has the same chance.
  const uint64_t Limit = UINT64_MAX - (UINT64_MAX % Span + 1) % Span;
  uint64_t Value = FEngine();
  while (Value > Limit) Value = FEngine();
  return Low + static_cast<int64_t>(Value % Span);
}
