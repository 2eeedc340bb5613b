#pragma once

#include <atomic>
#include <string>

// Hands one message to one SMTP server. The delivery rules need to tell "could
// not reach a server that takes mail" (try the next host) from "a server took
// the session and then refused" (final), so a send answers one of these.
class CMailTransport
{
public:
    enum class Result
    {
        NotConnected, // no connection, no greeting, or the greeting or EHLO refused
        Sent,
        Refused,     // the server refused the sender, the recipient or the data
        LoginNeeded, // the server wants a login, or refused the one given
        Cancelled,
    };
    struct Login
    {
        std::string user;
        std::string password;
    };

    virtual ~CMailTransport() = default;
    // `server` is a host name or address with an optional ":port", or an
    // "smtp://" or "smtps://" URL of one. `from` and `recipient` are bare
    // addresses; `data` the whole message with CR LF line ends. Blocks; any
    // thread.
    virtual Result Send(const std::string& server, const std::string& from, const std::string& recipient,
                        const std::string& data, const Login* login) = 0;
};

// The transport over libcurl. Every connection attempt gives up after 10 s;
// "smtp://" upgrades with STARTTLS when the server offers it, and a login is
// only sent encrypted (except to this machine). Certificates are verified.
// Proxies are never used for mail.
class CSMTPConnection : public CMailTransport
{
public:
    static constexpr long kConnectTimeoutMs = 10000;
    static constexpr long kResponseTimeoutSeconds = 30;

    // `cancel`, when given, aborts a send in progress (from any thread) once
    // set. `defaultPort` is used when the server names none (25 for mail
    // exchangers; "smtps://" defaults to 465).
    explicit CSMTPConnection(const std::atomic<bool>* cancel = nullptr, int defaultPort = 25);

    Result Send(const std::string& server, const std::string& from, const std::string& recipient,
                const std::string& data, const Login* login) override;

    // The last send's libcurl error text and the server's last reply code.
    const std::string& GetErrorText() const { return m_errorText; }
    long GetResponseCode() const { return m_responseCode; }

    // Builds the URL for a server setting, with our host name as the EHLO
    // greeting. False for anything but a plain host (letters, digits, ".",
    // "-", "_", or a bracketed IPv6 address) with an optional port, as it is
    // or inside an smtp:// or smtps:// URL without path. `host` is the host alone.
    static bool MakeUrl(const std::string& server, int defaultPort, std::string& url, std::string& host);

private:
    const std::atomic<bool>* m_cancel;
    int m_defaultPort;
    std::string m_errorText;
    long m_responseCode = 0;
};
