#pragma once

#include <atomic>
#include <functional>
#include <string>

class CAuthList;
class CMailTransport;
class CMimeMessage;
class CMxResolver;

// Forwarding the shown page by mail, without the windows: the recipient
// check, the message and the delivery rules. Texts are UTF-8.

// The four footer lines of every forwarded message, each ended by CR LF.
extern const std::string kForwardFooter;

// The page and the settings a forward is built from.
struct CForwardContent
{
    std::string sender;     // the configured address; required
    std::string senderName; // may be empty
    std::string recipient;
    std::string title;   // the page title
    std::string address; // the page address (may be empty)
    std::string source;  // the page source
    bool attachContent = true;
};

// The typed address is refused when it begins with "@", ends with ".", holds
// no "@" or no ".", has its last "." before its first "@", or holds a control
// character, "<" or ">" (it goes into a header and an SMTP command).
bool IsAcceptableRecipient(const std::string& address);

// The base a forwarded page's relative references resolve against: the page
// address without query and fragment, cut after its last "/"; a bare
// "scheme://host" gets a "/". An address without "://" is cut after its last
// "/", or kept whole when it has none after the first character.
std::string ComputeBaseHref(const std::string& address);

// Fills an empty message: sender, name, recipient, "FWD: " + title, and
// either the address and the footer as text (attach off and an address
// known) or the footer and the page as an HTML attachment with a <base> line
// in front. False when the sender or the recipient cannot be used.
bool BuildForwardMessage(const CForwardContent& content, CMimeMessage& message);

enum class CDeliveryResult
{
    Sent,
    Failed,
    Cancelled,
};

// What delivery works with. The resolver and the transport are always given,
// so a test never reaches the system's resolver by accident.
struct CDeliveryContext
{
    CDeliveryContext(CMailTransport& transport, CMxResolver& resolver, CAuthList* authList = nullptr,
                     const std::atomic<bool>* cancel = nullptr,
                     std::function<void(const std::string&)> progress = {})
        : transport(transport), resolver(resolver), authList(authList), cancel(cancel),
          progress(std::move(progress))
    {
    }

    CMailTransport& transport;
    CMxResolver& resolver;
    // Where a server's login is kept (keyed by "smtp://server"); may be null.
    CAuthList* authList;
    // Set from any thread to stop; checked between attempts (the transport
    // watches it during one).
    const std::atomic<bool>* cancel;
    // Told what is being done now; runs on the delivering thread.
    std::function<void(const std::string&)> progress;
};

// Delivers to the configured server when there is one (asking for a login
// through the installed credential prompt when the server wants one, and
// keeping a login that worked); else to the recipient's domain itself, then
// to the mail exchangers of the domain and of each parent domain that still
// holds a ".". The first server that takes the session decides the result.
CDeliveryResult DeliverMessage(const CMimeMessage& message, const std::string& server,
                               CDeliveryContext& context);
