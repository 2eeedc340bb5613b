#include "PrefPageHelpers.h"
#include "dialogs/PrefPages.h"

#include <wx/statbox.h>

using namespace prefpage;

namespace
{
// clang-format off
constexpr const char* kMailNoteText = "To ensure mail delivery, please provide the mail server (SMTP server). Kestrova will try to forward email even when you have no SMTP setting. But delivery without SMTP server may fail.";
// clang-format on
} // namespace

PrefFramePersonal::PrefFramePersonal(wxWindow* parent, const prefs::PersonalForm& form,
                                     CAuthList& credentials)
    : CPropertyPageBase(parent, "Personal"), m_shown(form), m_manager(credentials)
{
    auto* outer = new wxBoxSizer(wxVERTICAL);
    wxFlexGridSizer* mail = Grid();
    m_name = Edit(this, kNameEdit, form.name);
    Row(this, *mail, "Name:", m_name);
    m_email = Edit(this, kEmailEdit, form.address);
    Row(this, *mail, "Email:", m_email);
    m_server = Edit(this, kServerEdit, form.server);
    Row(this, *mail, "SMTP Server:", m_server);
    outer->Add(mail, 0, wxEXPAND | wxBOTTOM, 6);
    // Translated before it is wrapped: a wrapped text is no catalog entry.
    auto* note = new wxStaticText(this, wxID_ANY, ToWx(uTr(kMailNoteText)));
    note->Wrap(420);
    outer->Add(note, 0, wxBOTTOM, 10);

    auto* box = new wxStaticBoxSizer(wxVERTICAL, this, "Password Manager");
    m_list = new wxListCtrl(box->GetStaticBox(), kCredentialList, wxDefaultPosition, wxSize(420, 110),
                            wxLC_REPORT | wxLC_NO_HEADER | wxLC_SINGLE_SEL | wxLC_HRULES);
    m_list->InsertColumn(0, wxString(), wxLIST_FORMAT_LEFT, 480);
    box->Add(m_list, 1, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 6);
    wxFlexGridSizer* edits = Grid();
    m_login = Edit(box->GetStaticBox(), kLoginEdit, uString());
    Row(box->GetStaticBox(), *edits, "Login:", m_login);
    m_password = Edit(box->GetStaticBox(), kPasswordEdit, uString(), wxTE_PASSWORD);
    Row(box->GetStaticBox(), *edits, "Password:", m_password);
    m_retype = Edit(box->GetStaticBox(), kRetypeEdit, uString(), wxTE_PASSWORD);
    Row(box->GetStaticBox(), *edits, "Retype:", m_retype);
    box->Add(edits, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 6);
    outer->Add(box, 1, wxEXPAND);

    for (wxTextCtrl* edit : {m_login, m_password, m_retype})
        edit->Bind(wxEVT_SET_FOCUS,
                   [edit](wxFocusEvent& event)
                   {
                       edit->CallAfter([edit] { edit->SelectAll(); });
                       event.Skip();
                   });
    m_login->Bind(wxEVT_KILL_FOCUS,
                  [this](wxFocusEvent& event)
                  {
                      m_manager.LoginLeft(FromWx(m_login->GetValue()));
                      event.Skip();
                  });
    m_retype->Bind(wxEVT_KILL_FOCUS,
                   [this](wxFocusEvent& event)
                   {
                       m_manager.RetypeLeft(FromWx(m_password->GetValue()), FromWx(m_retype->GetValue()));
                       ShowEdits();
                       event.Skip();
                   });
    // A deselected row must stop being the one the edits write to.
    auto follow = [this](wxListEvent&) { OnSelectionChanged(); };
    m_list->Bind(wxEVT_LIST_ITEM_SELECTED, follow);
    m_list->Bind(wxEVT_LIST_ITEM_DESELECTED, follow);
    m_list->Bind(wxEVT_LIST_ITEM_ACTIVATED, follow);
    m_list->Bind(wxEVT_LIST_KEY_DOWN, &PrefFramePersonal::OnListKey, this);
    FillList();

    auto* border = new wxBoxSizer(wxVERTICAL);
    border->Add(outer, 1, wxEXPAND | wxALL, 10);
    SetSizerAndFit(border);
}

void PrefFramePersonal::FillList()
{
    m_list->DeleteAllItems();
    for (const uString& url : m_manager.Urls())
        m_list->InsertItem(m_list->GetItemCount(), ToWx(url));
}

void PrefFramePersonal::ShowEdits()
{
    m_login->ChangeValue(ToWx(m_manager.login));
    m_password->ChangeValue(ToWx(m_manager.password));
    m_retype->ChangeValue(ToWx(m_manager.retype));
}

void PrefFramePersonal::OnSelectionChanged()
{
    long row = m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    m_manager.Select(row >= 0 ? FromWx(m_list->GetItemText(row)) : uString());
    ShowEdits();
}

void PrefFramePersonal::SelectRow(long row)
{
    for (long other = m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); other >= 0;
         other = m_list->GetNextItem(other, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
    {
        if (other != row)
            m_list->SetItemState(other, 0, wxLIST_STATE_SELECTED);
    }
    if (row >= 0)
    {
        m_list->SetItemState(row, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                             wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
        m_list->EnsureVisible(row);
    }
    // Whether the list reports a change it was told to make differs between
    // toolkits: the edits follow the selection either way.
    OnSelectionChanged();
}

void PrefFramePersonal::OnListKey(wxListEvent& event)
{
    const int key = event.GetKeyCode();
    const long row = m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    if (row < 0)
    {
        event.Skip();
        return;
    }
    if (key == WXK_BACK || key == WXK_DELETE || key == WXK_NUMPAD_DECIMAL || key == WXK_NUMPAD_DELETE)
    {
        m_manager.Select(FromWx(m_list->GetItemText(row)));
        // Removed at once: the stored credential is gone even if the sheet is cancelled.
        m_manager.RemoveSelected();
        m_list->DeleteItem(row);
        SelectRow(prefs::RowAfterRemoval(static_cast<int>(row), m_list->GetItemCount()));
    }
    else if (key == WXK_UP && row > 0)
        SelectRow(row - 1);
    else if (key == WXK_DOWN && row + 1 < m_list->GetItemCount())
        SelectRow(row + 1);
    else
        event.Skip();
}

prefs::PersonalForm PrefFramePersonal::Read() const
{
    return prefs::PersonalForm{FromWx(m_name->GetValue()), FromWx(m_email->GetValue()),
                               FromWx(m_server->GetValue())};
}

void PrefFramePersonal::Apply(CPreference::PersonalSection& section) const
{
    prefs::ApplyPersonal(m_shown, Read(), section);
}
