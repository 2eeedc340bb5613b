#include "dialogs/FeedSearchDlg.h"

#include "common/SearchRequests.h"
#include "foundation/uTranslation.h"

#include <algorithm>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/datectrl.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

namespace
{
wxString FromUtf8(std::string_view text)
{
    return wxString::FromUTF8(text.data(), text.size());
}

template <size_t N> wxChoice* MakeChoice(wxWindow* parent, int id, const std::string_view (&names)[N])
{
    auto* choice = new wxChoice(parent, id);
    // In the interface language: OK reads the positions, not the texts.
    for (std::string_view name : names)
        choice->Append(FromUtf8(uTr(name)));
    choice->SetSelection(0);
    return choice;
}

// The day a picker shows, as the store's date bounds take it ("YYYY-MM-DD",
// which compares as text, rather than the locale's "%x"); empty when the
// picker holds no valid date.
uString PickerDay(const wxDatePickerCtrl& picker)
{
    wxDateTime value = picker.GetValue();
    return value.IsValid() ? uString(value.FormatISODate().utf8_string().c_str()) : uString();
}
} // namespace

CFeedSearchDlg::CFeedSearchDlg(const std::vector<uString>& listLabels, wxWindow* parent, std::time_t now)
    : ui::CDialog(parent, wxID_ANY, "Database Query Tool"), m_listLabels(listLabels)
{
    auto* content = new wxBoxSizer(wxVERTICAL);

    auto* phraseBox = new wxStaticBoxSizer(wxHORIZONTAL, this, "Search Phrase");
    m_matchChoice = MakeChoice(phraseBox->GetStaticBox(), kMatchChoice, kMatchNames);
    m_phraseEdit = new wxTextCtrl(phraseBox->GetStaticBox(), kPhraseEdit, wxEmptyString, wxDefaultPosition,
                                  wxSize(240, -1));
    phraseBox->Add(m_matchChoice, 0, wxALL | wxALIGN_CENTER_VERTICAL, 4);
    phraseBox->Add(m_phraseEdit, 1, wxALL | wxALIGN_CENTER_VERTICAL, 4);
    content->Add(phraseBox, 0, wxEXPAND | wxALL, 8);

    auto* dateBox = new wxStaticBoxSizer(wxHORIZONTAL, this, "Search Date");
    wxWindow* dates = dateBox->GetStaticBox();
    const search::DateRange range = search::DefaultSearchDates(now);
    m_startDate = new wxDatePickerCtrl(dates, kStartDate, wxDateTime(range.start), wxDefaultPosition,
                                       wxDefaultSize, wxDP_DROPDOWN);
    m_endDate = new wxDatePickerCtrl(dates, kEndDate, wxDateTime(range.end), wxDefaultPosition, wxDefaultSize,
                                     wxDP_DROPDOWN);
    dateBox->Add(new wxStaticText(dates, wxID_ANY, "Start Date:"), 0, wxALL | wxALIGN_CENTER_VERTICAL, 4);
    dateBox->Add(m_startDate, 0, wxALL, 4);
    dateBox->Add(new wxStaticText(dates, wxID_ANY, "End Date:"), 0, wxALL | wxALIGN_CENTER_VERTICAL, 4);
    dateBox->Add(m_endDate, 0, wxALL, 4);
    content->Add(dateBox, 0, wxEXPAND | wxLEFT | wxRIGHT, 8);

    auto* fieldBox = new wxStaticBoxSizer(wxHORIZONTAL, this, "Search Field");
    wxWindow* fields = fieldBox->GetStaticBox();
    m_fieldChoice = MakeChoice(fields, kFieldChoice, kFieldNames);
    m_listChoice = new wxChoice(fields, kListChoice);
    for (const uString& label : m_listLabels)
        m_listChoice->Append(wxString::FromUTF8(label.c_str()));
    if (!m_listLabels.empty())
        m_listChoice->SetSelection(0);
    fieldBox->Add(m_fieldChoice, 0, wxALL | wxALIGN_CENTER_VERTICAL, 4);
    fieldBox->Add(new wxStaticText(fields, wxID_ANY, "in"), 0, wxALL | wxALIGN_CENTER_VERTICAL, 4);
    fieldBox->Add(m_listChoice, 1, wxALL | wxALIGN_CENTER_VERTICAL, 4);
    content->Add(fieldBox, 0, wxEXPAND | wxALL, 8);

    content->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, 8);
    SetSizerAndFit(content);
    CentreOnParent();
    Bind(wxEVT_BUTTON, &CFeedSearchDlg::OnOK, this, wxID_OK);
}

void CFeedSearchDlg::OnOK(wxCommandEvent&)
{
    criteria.listName = uString(m_listChoice->GetStringSelection().utf8_string().c_str());
    criteria.phrase = uString(m_phraseEdit->GetValue().utf8_string().c_str());
    criteria.matchMode = std::max(0, m_matchChoice->GetSelection());
    criteria.field = std::max(0, m_fieldChoice->GetSelection());
    criteria.startDate = PickerDay(*m_startDate);
    criteria.endDate = PickerDay(*m_endDate);
    EndModal(wxID_OK);
}
