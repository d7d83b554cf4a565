#pragma once

// The rotation's metrics in Prometheus' text format (version 0.0.4), as
// served at /metrics.

#include <cstdint>
#include <string>

#include "TRotation.h"
#include "TRotationMetrics.h"

// ANowMs: the wall time the ages are measured to.
std::string MetricsPage(const TRotation::TStatus& AStatus, const TRotationMetrics& AMetrics,
                        int64_t ANowMs);

// A label's value with backslash, double quote and line feed escaped.
std::string MetricsLabelValue(const std::string& AText);
