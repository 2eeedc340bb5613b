#pragma once

#include <functional>
#include <vector>
#include <wx/modalhook.h>
#include <wx/timer.h>

class wxDialog;
class wxEventLoopBase;

/// The modal dialogs open at the moment (a fetch's progress dialog among
/// them), so that a stop can end them:
/// the program must close as File > Exit does whatever question is waiting.
/// After EndAll, no modal dialog opens any more (each answers Cancel at once).
/// User-interface thread only.
class COpenDialogs : public wxModalDialogHook
{
public:
    COpenDialogs();
    ~COpenDialogs() override;

    /// The list the application keeps (the one made last); null when none is.
    static COpenDialogs* Current();

    /// Ends every open modal dialog with Cancel, the innermost first, and
    /// refuses the ones that would open later. A dialog opened over another
    /// runs its loop inside the other's: each is ended once the one over it
    /// has returned, so that every loop really ends. The toolkit's dialogs
    /// that no wx dialog stands for (the engine's Print dialog, the boxes a
    /// file dialog asks from) are answered Cancel too, and an open pop-up
    /// menu closes: each runs a loop of its own, and the program could not
    /// end while one of them waited. `whenEnded` runs once no dialog is open
    /// any more (at once when none is).
    void EndAll(std::function<void()> whenEnded = nullptr);
    /// True while a dialog's ShowModal (or a fetch's progress) has not returned.
    bool AnyOpen() const { return !m_open.empty(); }

protected:
    int Enter(wxDialog* dialog) override;
    void Exit(wxDialog* dialog) override;

private:
    // Ends the innermost dialog when its loop is the one running, else
    // looks again shortly; runs `whenEnded` once none is left.
    void EndInnermost();

    struct Open
    {
        wxDialog* dialog;
        wxEventLoopBase* enclosing; // the loop that ran when it opened
        bool ending;                // asked to end: a second stop asks no more
    };

    std::vector<Open> m_open; // outermost first

    bool m_refusing = false;
    std::function<void()> m_whenEnded;
    wxTimer m_retry;
};
