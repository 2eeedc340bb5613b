#include "mainwindow/AboutDlg.h"

#include "CommandIds.h"
#include "common/ResourceImages.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

CAboutDlg::CAboutDlg(wxWindow* parent)
    : ui::CDialog(parent, resources::id::kAboutDialog, "About Kestrova RSS Reader")
{
    auto* texts = new wxBoxSizer(wxVERTICAL);
    texts->Add(new wxStaticText(this, wxID_ANY, kVersionText), 0, wxBOTTOM, 6);
    texts->Add(new wxStaticText(this, wxID_ANY, "A news-feed reader and podcast client."));

    auto* row = new wxBoxSizer(wxHORIZONTAL);
    wxBitmap icon = ui::LoadResourceBitmap(resources::id::kMainIcon);
    if (icon.IsOk())
        row->Add(new wxStaticBitmap(this, wxID_ANY, icon), 0, wxRIGHT, 12);
    row->Add(texts, 1, wxALIGN_CENTER_VERTICAL);
    row->Add(new wxButton(this, wxID_OK, "OK"), 0, wxLEFT | wxALIGN_TOP, 12);

    auto* outer = new wxBoxSizer(wxVERTICAL);
    outer->Add(row, 1, wxEXPAND | wxALL, 12);
    SetSizerAndFit(outer);
    SetAffirmativeId(wxID_OK);
    CentreOnParent();
}
