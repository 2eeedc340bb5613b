#pragma once

#include "common/Dialog.h"

/// Dialog 100, "About Kestrova RSS Reader": the program's icon, its name and
/// version, and an OK button.
class CAboutDlg : public ui::CDialog
{
public:
    static constexpr const char* kVersionText = "Kestrova Version 0.9.7";
    explicit CAboutDlg(wxWindow* parent);
};
