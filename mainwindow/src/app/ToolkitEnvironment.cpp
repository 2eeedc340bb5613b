#include "mainwindow/ToolkitEnvironment.h"

#include "foundation/uChildEnvironment.h"
#include "foundation/uProgramFolder.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace ui
{
void PrepareToolkitEnvironment()
{
    // Without a compositing manager, WebKit's accelerated compositing leaves
    // whatever covered the page (a dialog, a menu) painted over it until the
    // window is resized. Software painting repaints correctly on every X
    // session; a user who wants compositing back sets the variable to 0.
    setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", /*overwrite=*/0);
    // The engine's network process reads every server's file name with the
    // network library's routine, which ends it on a name with a "/": it
    // inherits our environment, and with it our own routine.
    const std::string routine = std::string(GetModuleDirectory().c_str()) + "/" KESTROVA_DISPOSITION_LIBRARY;
    if (!PreloadOwnLibrary(routine))
        std::fprintf(stderr,
                     "kestrova: cannot preload %s: a server's file name with a \"/\" in it ends the "
                     "browser engine's network process\n",
                     routine.c_str());
}
} // namespace ui
