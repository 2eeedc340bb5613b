#pragma once

// The corner of the window manager's frame around a top-level window, as the
// X server has it: false unless the window is really on the screen (mapped
// with every window above it). The toolkit's own idea of the place comes from
// the window manager's notices and its guess at the frame; while a window
// that was hidden is framed anew, it may be the inner corner, the corner less
// a border, or none. Without a window manager the frame is the window.
// widget is the window's GtkWidget. User-interface thread.
bool FrameCornerOnScreen(void* widget, int& x, int& y);
