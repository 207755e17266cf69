// The window's pictures, drawn at start-up: no image files to ship or find.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace tervo {

// 218 x 171 with a transparent background: a globe with a track of arrow waypoints.
QPixmap DrawLogo();
// 32 x 32 and smaller sizes of the same small globe with an arrow.
QIcon DrawWindowIcon();
// That globe at `size` x `size` pixels: the window icon's sizes, and the
// program's icons of the desktop, whose lines thicken above 48 pixels.
QPixmap DrawProgramIcon(int size);
// 16 x 16 button glyphs; Qt derives the greyed variant for a disabled button.
QIcon DrawOpenFolderGlyph();
QIcon DrawFloppyGlyph();
QIcon DrawGlobeGlyph();

}  // namespace tervo
