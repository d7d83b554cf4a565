#pragma once

#include <QIcon>

#include <QImage>

// The pictures of the windows' buttons, drawn at 32 x 32 from a few plain
// colours, and the program's icon: the product icon at 32 x 32.
enum class TButtonPicture { Connect, Disconnect, Mail, HomePage, About, Close };

QIcon ButtonPicture(TButtonPicture APicture);
QImage ProgramPicture();
QIcon WindowPicture();
