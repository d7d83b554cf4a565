#pragma once

// Online times drawn at random around the configured one, so that the line
// keeps no fixed rhythm that the far end could recognise. One generator,
// seeded once: the same seed gives the same times again, which is why the
// log states it.

#include <cstdint>
#include <random>

class TJitter {
 public:
  explicit TJitter(uint64_t ASeed);
  // A seed from the system's random source.
  static uint64_t RandomSeed();

  uint64_t Seed() const { return FSeed; }

  // A whole number of milliseconds drawn uniformly from AMs - AJitterMs to
  // AMs + AJitterMs, both included, where the low end is never below one
  // second. Without jitter, AMs as it is.
  int64_t Draw(int64_t AMs, int64_t AJitterMs);

 private:
  uint64_t FSeed;
  // The standard library's distributions may differ between library
  // versions; the engine and the reduction below do not, so a seed replays
  // the same times on every build.
  std::mt19937_64 FEngine;
};
