#pragma once

class QWidget;

namespace k4m {

// Asks the window manager for a frame with a border and a title only: no menu, no minimise, maximise or close
// button, and only moving allowed. Qt asks for this itself by leaving the frame's decorations unnamed, which
// some X11 window managers read as "every button"; this names them. Creates the native window; call it
// before the window is first shown. Does nothing on window systems without such hints.
void askForTitleOnlyFrame(QWidget* window);

} // namespace k4m

namespace k4m {

// Places a dialog centred on the window of its parent widget, frame on frame once the window system has given
// them frames. Does nothing for a dialog without a parent.
void centreOnOwner(QWidget* dialog);

} // namespace k4m
