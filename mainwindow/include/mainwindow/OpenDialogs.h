#pragma once

#include <vector>
#include <wx/modalhook.h>

class wxDialog;

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
    /// refuses the ones that would open later. The toolkit's dialogs that
    /// no wx dialog stands for (the engine's Print dialog, the boxes a file
    /// dialog asks from) are answered Cancel too, and an open pop-up menu
    /// closes: each runs a loop of its own, and the program could not end
    /// while one of them waited.
    void EndAll();

protected:
    int Enter(wxDialog* dialog) override;
    void Exit(wxDialog* dialog) override;

private:
    std::vector<wxDialog*> m_open;
    bool m_refusing = false;
};
