#pragma once

#include <wx/dialog.h>

/// Dialog 100, "About Kestrova RSS Reader": the program's icon, its name and
/// version, and an OK button.
class CAboutDlg : public wxDialog
{
public:
    static constexpr const char* kVersionText = "Kestrova Version 0.9.7";
    explicit CAboutDlg(wxWindow* parent);
};
