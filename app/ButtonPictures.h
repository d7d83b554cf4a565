#pragma once

#include <QIcon>

// The pictures of the main window's toolbar buttons and its window icon,
// drawn at 32 x 32 from a few plain colours.
enum class TButtonPicture { Connect, Disconnect, Mail, HomePage, About };

QIcon ButtonPicture(TButtonPicture APicture);
QIcon WindowPicture();
