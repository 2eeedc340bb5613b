#pragma once

#include <X11/Xlib.h>

namespace guitest
{
// Windows of other programs (or a menu closing) come and go while a query
// walks the tree: an error about one that just went is no failure, nor the
// end of the process, which the default handler makes it. Errors are
// ignored from construction until the requests made meanwhile are answered.
class IgnoreXErrors
{
public:
    explicit IgnoreXErrors(Display* display) : m_display(display), m_previous(XSetErrorHandler(Ignore)) {}
    ~IgnoreXErrors()
    {
        XSync(m_display, False);
        XSetErrorHandler(m_previous);
    }
    IgnoreXErrors(const IgnoreXErrors&) = delete;
    IgnoreXErrors& operator=(const IgnoreXErrors&) = delete;

private:
    static int Ignore(Display*, XErrorEvent*) { return 0; }
    Display* m_display;
    XErrorHandler m_previous;
};
} // namespace guitest
