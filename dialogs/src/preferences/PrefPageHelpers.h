#pragma once

#include "common/UserPrompt.h"
#include "dialogs/PrefModels.h"
#include "foundation/uString.h"
#include "foundation/uTranslation.h"

#include <string_view>
#include <vector>
#include <wx/combobox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/valtext.h>

// Small helpers the preference pages share.
namespace prefpage
{
inline wxString ToWx(const uString& text)
{
    return wxString::FromUTF8(text.c_str());
}

inline wxString ToWx(std::string_view text)
{
    return wxString::FromUTF8(text.data(), text.size());
}

inline uString FromWx(const wxString& text)
{
    return uString(text.utf8_str().data());
}

inline wxTextCtrl* Edit(wxWindow* parent, int id, const uString& text, long style = 0,
                        bool digitsOnly = false)
{
    auto* edit = new wxTextCtrl(parent, id, ToWx(text), wxDefaultPosition, wxSize(200, -1), style);
    if (digitsOnly)
        edit->SetValidator(wxTextValidator(wxFILTER_DIGITS));
    return edit;
}

// An editable drop-down showing `text`, which need not be one of the items.
inline wxComboBox* Combo(wxWindow* parent, int id, const std::vector<uString>& items, const uString& text)
{
    wxArrayString choices;
    for (const uString& item : items)
        choices.Add(ToWx(item));
    auto* combo =
        new wxComboBox(parent, id, ToWx(text), wxDefaultPosition, wxSize(110, -1), choices, wxCB_DROPDOWN);
    combo->SetValue(ToWx(text));
    return combo;
}

inline void Row(wxWindow* parent, wxFlexGridSizer& grid, const char* label, wxWindow* field)
{
    grid.Add(new wxStaticText(parent, wxID_ANY, wxString::FromUTF8(label)), 0, wxALIGN_CENTER_VERTICAL);
    grid.Add(field, 1, wxEXPAND);
}

// Tells why a value was refused and puts the caret into its edit.
inline void ShowRefusal(wxWindow* page, const prefs::Refusal& refusal)
{
    ui::ShowText(page, refusal.text, wxOK | wxICON_WARNING);
    wxWindow* control = page->FindWindow(refusal.control);
    if (control == nullptr)
        return;
    control->SetFocus();
    if (auto* edit = wxDynamicCast(control, wxTextCtrl))
        edit->SelectAll();
    else if (auto* combo = wxDynamicCast(control, wxComboBox))
        combo->SelectAll();
}

inline wxFlexGridSizer* Grid()
{
    auto* grid = new wxFlexGridSizer(2, wxSize(8, 6));
    grid->AddGrowableCol(1, 1);
    return grid;
}
} // namespace prefpage
