#pragma once

// What the rotation has done since the service started, counted for the
// metrics page: dials, their failures by code, drops, failed hang-ups,
// redials, hook runs, address checks, and how long dials and turns took.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A Prometheus histogram: counts of observations at or under each bound,
// their sum and their number.
class TDurationHistogram {
 public:
  explicit TDurationHistogram(std::vector<double> ABoundsSeconds);
  void Observe(double ASeconds);
  const std::vector<double>& Bounds() const { return FBounds; }
  // Observations at or under Bounds()[I] (cumulative, as Prometheus wants).
  uint64_t CountAtMost(size_t AIndex) const;
  uint64_t Count() const { return FCount; }
  double Sum() const { return FSum; }

 private:
  std::vector<double> FBounds;
  std::vector<uint64_t> FInBucket;  // observations in (Bounds[I-1], Bounds[I]]
  uint64_t FCount = 0;
  double FSum = 0;
};

struct TRotationMetrics {
  uint64_t TurnsRotated = 0;                   // turns that ended with a new address
  uint64_t TurnsNotRotated = 0;                // turns that gave up after the redial limit
  uint64_t Dials = 0;                          // dials started
  std::map<int, uint64_t> DialFailuresByCode;  // 0: failures without a code
  uint64_t HangUpFailures = 0;
  uint64_t Drops = 0;
  // By reason: "repeated-address", "repeated-subnet", "repeated-subnet6".
  std::map<std::string, uint64_t> Redials;
  uint64_t HookRuns = 0;
  uint64_t HookFailures = 0;  // a non-zero exit, a crash, a start that failed or a kill
  uint64_t CheckFailures = 0;
  int64_t LastNewAddressMs = -1;  // wall time; -1 before the first
  TDurationHistogram DialSeconds{{0.1, 0.25, 0.5, 1, 2.5, 5, 10, 30, 60, 120}};
  TDurationHistogram TurnSeconds{{1, 2.5, 5, 10, 30, 60, 120, 300, 600, 1800}};
};
