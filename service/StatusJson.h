#pragma once

// The rotation's status as the control interface answers it.

#include <QJsonObject>
#include <cstdint>

#include "TRotation.h"

// ANowMs: the wall time the line's time up is measured to.
QJsonObject StatusJson(const TRotation::TStatus& AStatus, int64_t ANowMs);
