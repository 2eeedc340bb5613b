#include "PrefPageHelpers.h"
#include "dialogs/PrefPages.h"

#include <wx/statbox.h>

using namespace prefpage;

CPrefPersonalPage::CPrefPersonalPage(wxWindow* parent, const prefs::PersonalForm& form,
                                     CAuthList& credentials)
    : CPropertyPageBase(parent, "Personal"), m_manager(credentials)
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
    auto* note =
        new wxStaticText(this, wxID_ANY,
                         "To ensure mail delivery, please provide the mail server (SMTP server). Kestrova "
                         "will try to forward email even when you have no SMTP setting. But delivery "
                         "without SMTP server may fail.");
    note->Wrap(420);
    outer->Add(note, 0, wxBOTTOM, 10);

    auto* box = new wxStaticBoxSizer(wxVERTICAL, this, "Password Manager");
    m_list = new wxListCtrl(box->GetStaticBox(), kCredentialList, wxDefaultPosition, wxSize(420, 110),
                            wxLC_REPORT | wxLC_NO_HEADER | wxLC_SINGLE_SEL | wxLC_HRULES);
    m_list->InsertColumn(0, wxString(), wxLIST_FORMAT_LEFT, 480);
    box->Add(m_list, 1, wxEXPAND | wxBOTTOM, 6);
    wxFlexGridSizer* edits = Grid();
    m_login = Edit(box->GetStaticBox(), kLoginEdit, uString());
    Row(box->GetStaticBox(), *edits, "Login:", m_login);
    m_password = Edit(box->GetStaticBox(), kPasswordEdit, uString(), wxTE_PASSWORD);
    Row(box->GetStaticBox(), *edits, "Password:", m_password);
    m_retype = Edit(box->GetStaticBox(), kRetypeEdit, uString(), wxTE_PASSWORD);
    Row(box->GetStaticBox(), *edits, "Retype:", m_retype);
    box->Add(edits, 0, wxEXPAND);
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
    m_list->Bind(wxEVT_LIST_ITEM_SELECTED, &CPrefPersonalPage::OnSelected, this);
    m_list->Bind(wxEVT_LIST_ITEM_ACTIVATED, &CPrefPersonalPage::OnSelected, this);
    m_list->Bind(wxEVT_LIST_KEY_DOWN, &CPrefPersonalPage::OnListKey, this);
    FillList();

    auto* border = new wxBoxSizer(wxVERTICAL);
    border->Add(outer, 1, wxEXPAND | wxALL, 10);
    SetSizerAndFit(border);
}

void CPrefPersonalPage::FillList()
{
    m_list->DeleteAllItems();
    for (const uString& url : m_manager.Urls())
        m_list->InsertItem(m_list->GetItemCount(), ToWx(url));
}

void CPrefPersonalPage::ShowEdits()
{
    m_login->ChangeValue(ToWx(m_manager.login));
    m_password->ChangeValue(ToWx(m_manager.password));
    m_retype->ChangeValue(ToWx(m_manager.retype));
}

void CPrefPersonalPage::OnSelected(wxListEvent& event)
{
    m_manager.Select(FromWx(m_list->GetItemText(event.GetIndex())));
    ShowEdits();
}

void CPrefPersonalPage::OnListKey(wxListEvent& event)
{
    int key = event.GetKeyCode();
    long row = m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    if (row < 0 || (key != WXK_BACK && key != WXK_DELETE && key != WXK_NUMPAD_DECIMAL))
    {
        event.Skip();
        return;
    }
    m_manager.Select(FromWx(m_list->GetItemText(row)));
    // Removed at once: the stored credential is gone even if the sheet is cancelled.
    m_manager.RemoveSelected();
    m_list->DeleteItem(row);
    ShowEdits();
}

prefs::PersonalForm CPrefPersonalPage::Read() const
{
    return prefs::PersonalForm{FromWx(m_name->GetValue()), FromWx(m_email->GetValue()),
                               FromWx(m_server->GetValue())};
}
