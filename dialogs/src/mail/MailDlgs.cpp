#include "dialogs/MailDlgs.h"

#include "feeds/AuthList.h"
#include "foundation/MxLookup.h"
#include "foundation/SmtpConnection.h"
#include "foundation/uTranslation.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

namespace
{
wxString ToWx(const uString& text)
{
    return wxString::FromUTF8(text.c_str(), static_cast<size_t>(text.getLength()));
}

uString ToUString(const wxString& text)
{
    return uString(text.utf8_str().data());
}

wxBoxSizer* Column(wxDialog& dialog, wxSizer* fields)
{
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(fields, 1, wxEXPAND | wxALL, 10);
    column->Add(dialog.CreateButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 10);
    return column;
}
} // namespace

CPromptUserPassDlg::CPromptUserPassDlg(const uString& caption, const uString& user, wxWindow* parent)
    : ui::CDialog(parent, wxID_ANY, ToWx(caption))
{
    m_userEdit = new wxTextCtrl(this, kUserEdit, ToWx(user), wxDefaultPosition, wxSize(240, -1));
    m_passwordEdit =
        new wxTextCtrl(this, kPasswordEdit, wxEmptyString, wxDefaultPosition, wxSize(240, -1), wxTE_PASSWORD);
    auto* grid = new wxFlexGridSizer(2, wxSize(8, 8));
    grid->AddGrowableCol(1);
    grid->Add(new wxStaticText(this, wxID_ANY, "Username:"), 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(m_userEdit, 1, wxEXPAND);
    grid->Add(new wxStaticText(this, wxID_ANY, "Password:"), 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(m_passwordEdit, 1, wxEXPAND);
    SetSizerAndFit(Column(*this, grid));
    (user.isEmpty() ? m_userEdit : m_passwordEdit)->SetFocus();
}

uString CPromptUserPassDlg::GetUser() const
{
    return ToUString(m_userEdit->GetValue());
}

uString CPromptUserPassDlg::GetPassword() const
{
    return ToUString(m_passwordEdit->GetValue());
}

CForwardMailDlg::CForwardMailDlg(const uString& recipient, wxWindow* parent)
    : ui::CDialog(parent, wxID_ANY, "Forward to ...")
{
    m_recipientEdit =
        new wxTextCtrl(this, kRecipientEdit, ToWx(recipient), wxDefaultPosition, wxSize(260, -1));
    m_attachCheck = new wxCheckBox(this, kAttachContentCheck, "Attach Content");
    m_attachCheck->SetValue(true);
    auto* fields = new wxBoxSizer(wxVERTICAL);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(new wxStaticText(this, wxID_ANY, "Email To:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
    row->Add(m_recipientEdit, 1, wxEXPAND);
    fields->Add(row, 0, wxEXPAND);
    fields->Add(m_attachCheck, 0, wxTOP, 10);
    SetSizerAndFit(Column(*this, fields));
    m_recipientEdit->SetFocus();
}

uString CForwardMailDlg::GetRecipient() const
{
    return ToUString(m_recipientEdit->GetValue());
}

bool CForwardMailDlg::GetAttachContent() const
{
    return m_attachCheck->GetValue();
}

CMailSendDlg::CMailSendDlg(wxWindow* parent, CMimeMessage message, std::string server, CAuthList* authList)
    : ui::CDialog(parent, wxID_ANY, "Sending mail"), m_message(std::move(message)),
      m_server(std::move(server)), m_authList(authList), m_timer(this)
{
    m_status = new wxStaticText(this, wxID_ANY, "Preparing the message", wxDefaultPosition, wxSize(360, -1),
                                wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END);
    m_cancelButton = new wxButton(this, wxID_CANCEL, "Cancel");
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(m_status, 0, wxEXPAND | wxALL, 12);
    column->Add(m_cancelButton, 0, wxALIGN_RIGHT | wxLEFT | wxRIGHT | wxBOTTOM, 12);
    SetSizerAndFit(column);
    Bind(wxEVT_TIMER, &CMailSendDlg::OnTimer, this);
    Bind(wxEVT_BUTTON, &CMailSendDlg::OnCancel, this, wxID_CANCEL);
    Bind(wxEVT_CLOSE_WINDOW, &CMailSendDlg::OnClose, this);
}

CMailSendDlg::~CMailSendDlg()
{
    // Only reached early when ShowModal never ran or the window is torn down.
    m_cancel = true;
    if (m_worker.joinable())
        m_worker.join();
}

int CMailSendDlg::ShowModal()
{
    m_worker = std::thread([this] { Deliver(); });
    m_timer.Start(50);
    int result = wxDialog::ShowModal();
    m_timer.Stop();
    // Ended from outside before the send did (a stop of the program ends
    // every dialog): the send ends too, rather than holding the program
    // until the server gives up.
    m_cancel = true;
    if (m_worker.joinable())
        m_worker.join();
    return result;
}

wxString CMailSendDlg::GetStatusText() const
{
    return m_status->GetLabel();
}

void CMailSendDlg::Deliver()
{
    CSMTPConnection transport(&m_cancel);
    CDnsMxResolver resolver;
    CDeliveryContext context{transport, resolver, m_authList, &m_cancel,
                             [this](const std::string& text)
                             {
                                 std::lock_guard<std::mutex> lock(m_lock);
                                 m_progress = text;
                             }};
    m_result = DeliverMessage(m_message, m_server, context);
    m_done = true;
}

void CMailSendDlg::OnTimer(wxTimerEvent&)
{
    if (m_done)
    {
        m_timer.Stop();
        if (IsModal())
            EndModal(m_result == CDeliveryResult::Sent ? wxID_OK : wxID_CANCEL);
        return;
    }
    if (m_cancel)
        return;
    std::lock_guard<std::mutex> lock(m_lock);
    wxString text = wxString::FromUTF8(m_progress.c_str()) + " ...";
    if (!m_progress.empty() && m_status->GetLabel() != text)
        m_status->SetLabel(text);
}

void CMailSendDlg::RequestCancel()
{
    // The worker notices within a tenth of a second; the dialog ends when it has.
    m_cancel = true;
    // Set after the dialog's texts were translated: translated here.
    std::string_view cancelling = uTr("Cancelling ...");
    m_status->SetLabel(wxString::FromUTF8(cancelling.data(), cancelling.size()));
    m_cancelButton->Disable();
}

void CMailSendDlg::OnCancel(wxCommandEvent&)
{
    RequestCancel();
}

void CMailSendDlg::OnClose(wxCloseEvent&)
{
    RequestCancel();
}
