#pragma once

#include "common/Dialog.h"
#include "feeds/ForwardMail.h"
#include "foundation/MimeMessage.h"
#include "foundation/uString.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <wx/timer.h>

class CAuthList;
class wxButton;
class wxCheckBox;
class wxStaticText;
class wxTextCtrl;

/// "Access Authentication": a user name and a password for a server or a
/// site; the caption (its address) is the window title. The password always
/// starts empty. Nothing is checked; after wxID_OK the caller reads the fields.
class CPromptUserPassDlg : public ui::CDialog
{
public:
    enum ControlId
    {
        kUserEdit = 1121,
        kPasswordEdit = 1123,
    };

    CPromptUserPassDlg(const uString& caption, const uString& user, wxWindow* parent);
    uString GetUser() const;
    uString GetPassword() const;

private:
    wxTextCtrl* m_userEdit = nullptr;
    wxTextCtrl* m_passwordEdit = nullptr;
};

/// "Forward to ...": the recipient of a forwarded page and whether the page
/// goes along, on by default. Nothing is checked here (the sender checks the
/// address).
class CForwardMailDlg : public ui::CDialog
{
public:
    enum ControlId
    {
        kRecipientEdit = 1122,
        kAttachContentCheck = 1078,
    };

    CForwardMailDlg(const uString& recipient, wxWindow* parent);
    uString GetRecipient() const;
    bool GetAttachContent() const;

private:
    wxTextCtrl* m_recipientEdit = nullptr;
    wxCheckBox* m_attachCheck = nullptr;
};

/// Sends one message on a worker thread while showing what is being done;
/// Cancel stops the send (the window stays responsive throughout). The
/// dialog ends by itself when the worker is done: GetResult then tells how.
class CMailSendDlg : public ui::CDialog
{
public:
    /// `server` is the configured SMTP server (empty: deliver to the
    /// recipient's mail hosts). `authList` keeps a server's login; may be null.
    CMailSendDlg(wxWindow* parent, CMimeMessage message, std::string server, CAuthList* authList);
    ~CMailSendDlg() override;

    int ShowModal() override;
    CDeliveryResult GetResult() const { return m_result; }
    /// The text shown now ("Connecting to ...").
    wxString GetStatusText() const;

private:
    void Deliver(); // worker thread
    void OnTimer(wxTimerEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);
    void RequestCancel();

    CMimeMessage m_message;
    std::string m_server;
    CAuthList* m_authList;
    wxStaticText* m_status = nullptr;
    wxButton* m_cancelButton = nullptr;
    wxTimer m_timer;
    std::thread m_worker;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_done{false};
    mutable std::mutex m_lock;
    std::string m_progress; // guarded by m_lock
    CDeliveryResult m_result = CDeliveryResult::Failed;
};
