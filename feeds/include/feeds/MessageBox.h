#pragma once

#include "foundation/uString.h"

#include <memory>

// The message boxes the feed engine shows itself (a list database that cannot
// be opened, a failed read for display, ...). The window code installs one
// that shows a dialog; without it the text goes to standard error as a line.
class CMessageBox
{
public:
    virtual ~CMessageBox() = default;

    // May be called on any thread: an implementation shows its dialog on the
    // user-interface thread and never on the caller's when that is a worker.
    virtual void Show(const uString& text) = 0;

    // Replaces the installed display; null restores standard error. Any thread.
    static void Install(std::shared_ptr<CMessageBox> display);
    static void Display(const uString& text);
};
