#include "feeds/ForwardMail.h"

#include "StringTable.h"
#include "feeds/AuthList.h"
#include "feeds/CredentialPrompt.h"
#include "foundation/MimeMessage.h"
#include "foundation/MxLookup.h"
#include "foundation/ProductAddress.h"
#include "foundation/SmtpConnection.h"
#include "foundation/uHtmlEntities.h"

const std::string kForwardFooter = std::string("_________________________________\r\n"
                                               "Do you podcast? Use Kestrova.    \r\n"
                                               "Do you vlog? Again, use Kestrova.\r\n") +
                                   kProductWebAddress + "\r\n";

namespace
{
constexpr const char* kSubjectPrefix = "FWD: ";
constexpr const char* kAttachmentName = "Kesrtova Feed Forward";
// The page source is UTF-8 text.
constexpr const char* kAttachmentType = "text/html; charset=utf-8";
// A server refusing the login given is asked about again, but not forever.
constexpr int kLoginAttempts = 3;
// What the send dialog says is being done: each names a host or a domain.
constexpr int kConnectingText = 3090;
constexpr int kLoginAskedText = 3091;
constexpr int kLookingUpText = 3092;

using Result = CMailTransport::Result;

bool Cancelled(const CDeliveryContext& context)
{
    return context.cancel != nullptr && context.cancel->load();
}

// In the interface language, as the rest of the dialog that shows it.
void Report(const CDeliveryContext& context, int id, const std::string& subject)
{
    if (!context.progress)
        return;
    uString text;
    text.format(resources::StringText(id).c_str(), subject.c_str());
    context.progress(text.c_str());
}

CDeliveryResult Final(Result result)
{
    return result == Result::Sent        ? CDeliveryResult::Sent
           : result == Result::Cancelled ? CDeliveryResult::Cancelled
                                         : CDeliveryResult::Failed;
}

struct Envelope
{
    std::string from;
    std::string to;
    std::string data;
};

CDeliveryResult SendToServer(const Envelope& envelope, const std::string& server, CDeliveryContext& context)
{
    const std::string key = server.find("://") == std::string::npos ? "smtp://" + server : server;
    CMailTransport::Login login;
    uString user, password;
    bool stored =
        context.authList != nullptr && context.authList->GetCredentials(key.c_str(), user, password);
    if (stored)
        login = {user.c_str(), password.c_str()};
    Report(context, kConnectingText, server);
    Result result =
        context.transport.Send(server, envelope.from, envelope.to, envelope.data, stored ? &login : nullptr);
    for (int attempt = 0; result == Result::LoginNeeded && attempt < kLoginAttempts && !Cancelled(context);
         ++attempt)
    {
        Report(context, kLoginAskedText, server);
        uString initialUser(login.user.empty() ? envelope.from.c_str() : login.user.c_str());
        uString answerUser, answerPassword;
        if (!CCredentialPrompt::AskInstalled(uString(key.c_str()), initialUser, answerUser, answerPassword))
            return Cancelled(context) ? CDeliveryResult::Cancelled : CDeliveryResult::Failed;
        login = {answerUser.c_str(), answerPassword.c_str()};
        Report(context, kConnectingText, server);
        result = context.transport.Send(server, envelope.from, envelope.to, envelope.data, &login);
        if (result == Result::Sent && context.authList != nullptr)
            context.authList->FindOrAdd(key.c_str(), login.user.c_str(), login.password.c_str());
    }
    return Final(result);
}

// Tries each host in turn until one takes the session; NotConnected when none did.
Result SendToFirstHost(const Envelope& envelope, const std::vector<std::string>& hosts,
                       CDeliveryContext& context)
{
    for (const std::string& host : hosts)
    {
        if (Cancelled(context))
            return Result::Cancelled;
        Report(context, kConnectingText, host);
        Result result = context.transport.Send(host, envelope.from, envelope.to, envelope.data, nullptr);
        if (result != Result::NotConnected)
            return result;
    }
    return Result::NotConnected;
}
} // namespace

bool IsAcceptableRecipient(const std::string& address)
{
    if (address.empty() || address.front() == '@' || address.back() == '.')
        return false;
    std::size_t firstAt = address.find('@');
    std::size_t lastDot = address.rfind('.');
    if (firstAt == std::string::npos || lastDot == std::string::npos || lastDot < firstAt)
        return false;
    return CMimeMessage::IsSafeAddress(address);
}

std::string ComputeBaseHref(const std::string& address)
{
    std::size_t scheme = address.find("://");
    if (scheme == std::string::npos)
    {
        std::size_t slash = address.rfind('/');
        return slash == std::string::npos || slash < 1 ? address : address.substr(0, slash + 1);
    }
    // A "/" inside the query or fragment is not part of the path.
    std::string page = address.substr(0, address.find_first_of("?#", scheme + 3));
    std::size_t pathStart = page.find('/', scheme + 3);
    if (pathStart == std::string::npos)
        return page + "/";
    return page.substr(0, page.rfind('/') + 1);
}

bool BuildForwardMessage(const CForwardContent& content, CMimeMessage& message)
{
    if (!message.SetSender(content.sender) || !IsAcceptableRecipient(content.recipient) ||
        !message.AddRecipient(content.recipient))
        return false;
    if (!content.senderName.empty())
        message.SetSenderName(content.senderName);
    message.SetSubject(kSubjectPrefix + content.title);
    if (!content.attachContent && !content.address.empty())
    {
        message.AddText(content.address);
        message.AddText(kForwardFooter);
        return true;
    }
    message.AddText(kForwardFooter);
    std::string page;
    if (!content.address.empty())
        page = "<base href=\"" + html::EscapeText(ComputeBaseHref(content.address)) + "\">\r\n";
    page += content.source;
    message.AttachRaw(page, kAttachmentName, kAttachmentType);
    return true;
}

CDeliveryResult DeliverMessage(const CMimeMessage& message, const std::string& server,
                               CDeliveryContext& context)
{
    if (message.GetRecipients().empty())
        return CDeliveryResult::Failed;
    Envelope envelope{message.GetSender(), message.GetRecipients().front(), message.Serialize()};
    if (!server.empty())
        return SendToServer(envelope, server, context);

    std::string domain = envelope.to.substr(envelope.to.find('@') + 1);
    Result result = SendToFirstHost(envelope, {domain}, context);
    while (result == Result::NotConnected)
    {
        if (Cancelled(context))
            return CDeliveryResult::Cancelled;
        Report(context, kLookingUpText, domain);
        result = SendToFirstHost(envelope, context.resolver.GetMXHosts(domain), context);
        if (result != Result::NotConnected)
            break;
        // Up one level while a parent still has a "." of its own: a bare top-level name is never asked about.
        std::size_t dot = domain.find('.', 1);
        if (dot == std::string::npos || domain.find('.', dot + 1) == std::string::npos)
            return CDeliveryResult::Failed;
        domain = domain.substr(domain.find('.') + 1);
    }
    return Final(result);
}
