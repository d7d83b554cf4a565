#pragma once

#include <QImage>

#include "WinUser.h"

// The picture of an icon made by CreateIcon; a null image for a handle that
// names no icon.
QImage IconImage(HICON AIcon);
