#include "mainwindow/ToolkitEnvironment.h"

#include <cstdlib>

namespace ui
{
void PrepareToolkitEnvironment()
{
    // Without a compositing manager, WebKit's accelerated compositing leaves
    // whatever covered the page (a dialog, a menu) painted over it until the
    // window is resized. Software painting repaints correctly on every X
    // session; a user who wants compositing back sets the variable to 0.
    setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", /*overwrite=*/0);
}
} // namespace ui
