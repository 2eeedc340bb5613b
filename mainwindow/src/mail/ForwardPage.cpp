#include "dialogs/MailDlgs.h"
#include "feeds/Preference.h"
#include "mainwindow/HtmlCtrl.h"
#include "common/UserPrompt.h"
#include "mainwindow/WebBrowserFrame.h"

namespace
{
constexpr int kInvalidAddressString = 3055;
constexpr int kMailSentString = 3056;
constexpr int kMailFailedString = 3057;

std::string Trimmed(const uString& text)
{
    std::string value = text.c_str();
    std::size_t start = value.find_first_not_of(" \t");
    std::size_t end = value.find_last_not_of(" \t");
    return start == std::string::npos ? std::string() : value.substr(start, end - start + 1);
}

// A sender address that a header or an SMTP command could not carry counts as none.
bool HasSender(const CPreference::PersonalSection& personal)
{
    return CMimeMessage::IsSafeAddress(personal.strEmailAdress.c_str());
}
} // namespace

void CWebBrowserFrame::ForwardPage(CPreference& preference, std::function<void()> showPreferences,
                                   std::function<bool()> mayGoOn)
{
    if (!m_view)
        return;
    // Answered only while the pane, and so this frame, lives.
    m_view->GetDocumentSource(
        [this, &preference, showPreferences = std::move(showPreferences),
         mayGoOn = std::move(mayGoOn)](bool found, const uString& source)
        {
            if (found && !source.isEmpty() && (!mayGoOn || mayGoOn()))
                ForwardSource(source, preference, showPreferences);
        });
}

void CWebBrowserFrame::ForwardSource(const uString& source, CPreference& preference,
                                     const std::function<void()>& showPreferences)
{
    // The page's title and address with its source, before any dialog: the
    // page may change while one is open.
    const std::string title = m_view->GetPageTitle().utf8_string();
    const std::string address = GetAddressText().c_str();
    CPreference::PersonalSection personal = preference.GetPersonalSection();
    if (!HasSender(personal))
    {
        if (showPreferences)
            showPreferences();
        personal = preference.GetPersonalSection();
        if (!HasSender(personal))
            return;
    }

    CForwardMailDlg dialog(m_lastRecipient, this);
    if (dialog.ShowModal() != wxID_OK)
        return;
    uString recipient = dialog.GetRecipient();
    if (!IsAcceptableRecipient(recipient.c_str()))
    {
        ui::ShowPrompt(this, kInvalidAddressString, wxOK | wxICON_INFORMATION);
        return;
    }
    m_lastRecipient = recipient;

    CForwardContent content;
    content.sender = personal.strEmailAdress.c_str();
    content.senderName = personal.strEmailName.c_str();
    content.recipient = recipient.c_str();
    content.title = title;
    content.address = address;
    content.source = std::string(source.c_str(), static_cast<std::size_t>(source.getLength()));
    content.attachContent = dialog.GetAttachContent();
    CMimeMessage message;
    if (!BuildForwardMessage(content, message))
    {
        ui::ShowPrompt(this, kMailFailedString, wxOK | wxICON_INFORMATION);
        return;
    }

    CMailSendDlg sending(this, std::move(message), Trimmed(personal.strServerSMTP),
                         &preference.GetAuthList());
    sending.ShowModal();
    switch (sending.GetResult())
    {
    case CDeliveryResult::Sent:
        ui::ShowPrompt(this, kMailSentString, wxOK | wxICON_INFORMATION);
        break;
    case CDeliveryResult::Failed:
        ui::ShowPrompt(this, kMailFailedString, wxOK | wxICON_INFORMATION);
        break;
    case CDeliveryResult::Cancelled: // the user knows
        break;
    }
}
