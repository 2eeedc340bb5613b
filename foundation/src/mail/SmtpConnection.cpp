#include "foundation/SmtpConnection.h"

#include "foundation/uCurlTransfer.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <curl/curl.h>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace
{
struct Upload
{
    const std::string* data;
    std::size_t offset = 0;
};

struct Session
{
    const std::atomic<bool>* cancel = nullptr;
    bool mailFromSent = false;
    std::vector<curl_socket_t> sockets; // open now; touched on the sending thread only
};

curl_socket_t OpenSocket(void* user, curlsocktype, struct curl_sockaddr* address)
{
    curl_socket_t fd = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (fd != CURL_SOCKET_BAD)
        static_cast<Session*>(user)->sockets.push_back(fd);
    return fd;
}

int CloseSocket(void* user, curl_socket_t fd)
{
    auto& sockets = static_cast<Session*>(user)->sockets;
    sockets.erase(std::remove(sockets.begin(), sockets.end(), fd), sockets.end());
    return ::close(fd);
}

std::size_t ReadUpload(char* buffer, std::size_t size, std::size_t count, void* user)
{
    auto* upload = static_cast<Upload*>(user);
    std::size_t left = upload->data->size() - upload->offset;
    std::size_t taken = std::min(left, size * count);
    std::memcpy(buffer, upload->data->data() + upload->offset, taken);
    upload->offset += taken;
    return taken;
}

// Watches the commands going out: once "MAIL FROM" has left, the server took
// the session and its answer to this message is final.
int WatchCommands(CURL*, curl_infotype type, char* data, std::size_t size, void* user)
{
    if (type == CURLINFO_HEADER_OUT && size >= 9 && std::strncmp(data, "MAIL FROM", 9) == 0)
        static_cast<Session*>(user)->mailFromSent = true;
    return 0;
}

struct MultiFree
{
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};

// Runs the transfer on a multi handle so that the cancel flag is seen within
// a tenth of a second whatever state the session is in (also while a server
// keeps us waiting for its greeting).
CURLcode Perform(CURL* curl, Session& session)
{
    std::unique_ptr<CURLM, MultiFree> multi(curl_multi_init());
    if (!multi || curl_multi_add_handle(multi.get(), curl) != CURLM_OK)
        return CURLE_OUT_OF_MEMORY;
    CURLcode code = CURLE_OK;
    for (int running = 1; running > 0;)
    {
        if (session.cancel != nullptr && session.cancel->load())
        {
            // Taking the handle off would first say QUIT and wait for the
            // answer a stalled server never gives: cut the connection instead.
            for (curl_socket_t fd : session.sockets)
                ::shutdown(fd, SHUT_RDWR);
            code = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK)
        {
            code = CURLE_FAILED_INIT;
            break;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued))
        {
            if (message->msg == CURLMSG_DONE)
                code = message->data.result;
        }
        if (running > 0)
            curl_multi_poll(multi.get(), nullptr, 0, 100, nullptr);
    }
    curl_multi_remove_handle(multi.get(), curl);
    return code;
}

bool IsHostCharacter(unsigned char c)
{
    return c < 0x80 && (std::isalnum(c) || c == '.' || c == '-' || c == '_');
}

bool IsLoopback(const std::string& host)
{
    return host == "localhost" || host.rfind("127.", 0) == 0 || host == "[::1]";
}

// Our name for EHLO: some exchangers refuse a client calling itself "localhost"
// less readily than one giving its own name. Only host characters pass.
std::string GreetingName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return "localhost";
    std::string clean;
    for (const char* c = name; *c != '\0'; ++c)
    {
        if (IsHostCharacter(static_cast<unsigned char>(*c)))
            clean += *c;
    }
    return clean.empty() ? "localhost" : clean;
}

struct CurlFree
{
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
} // namespace

CSMTPConnection::CSMTPConnection(const std::atomic<bool>* cancel, int defaultPort)
    : m_cancel(cancel), m_defaultPort(defaultPort)
{
}

bool CSMTPConnection::MakeUrl(const std::string& server, int defaultPort, std::string& url, std::string& host)
{
    std::string scheme = "smtp";
    std::string authority = server;
    std::size_t separator = server.find("://");
    if (separator != std::string::npos)
    {
        scheme = server.substr(0, separator);
        for (char& c : scheme)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (scheme != "smtp" && scheme != "smtps")
            return false;
        authority = server.substr(separator + 3);
        if (!authority.empty() && authority.back() == '/')
            authority.pop_back();
        if (scheme == "smtps" && defaultPort == 25)
            defaultPort = 465;
    }
    std::size_t hostEnd = 0;
    if (!authority.empty() && authority[0] == '[')
    {
        hostEnd = authority.find(']');
        if (hostEnd == std::string::npos || hostEnd < 2)
            return false;
        for (std::size_t i = 1; i < hostEnd; ++i)
        {
            if (!std::isxdigit(static_cast<unsigned char>(authority[i])) && authority[i] != ':' &&
                authority[i] != '.')
                return false;
        }
        ++hostEnd;
    }
    else
    {
        while (hostEnd < authority.size() && IsHostCharacter(static_cast<unsigned char>(authority[hostEnd])))
            ++hostEnd;
        if (hostEnd == 0)
            return false;
    }
    host = authority.substr(0, hostEnd);
    int port = defaultPort;
    if (hostEnd < authority.size())
    {
        std::string digits = authority.substr(hostEnd + 1);
        if (authority[hostEnd] != ':' || digits.empty() || digits.size() > 5)
            return false;
        port = 0;
        for (char c : digits)
        {
            if (!std::isdigit(static_cast<unsigned char>(c)))
                return false;
            port = port * 10 + (c - '0');
        }
        if (port < 1 || port > 65535)
            return false;
    }
    url = scheme + "://" + host + ":" + std::to_string(port) + "/" + GreetingName();
    return true;
}

CMailTransport::Result CSMTPConnection::Send(const std::string& server, const std::string& from,
                                             const std::string& recipient, const std::string& data,
                                             const Login* login)
{
    m_errorText.clear();
    m_responseCode = 0;
    std::string url, host;
    if (!MakeUrl(server, m_defaultPort, url, host))
    {
        m_errorText = "not a mail server address: " + server;
        return Result::NotConnected;
    }
    // The addresses go into MAIL FROM and RCPT TO: a line break would add a command.
    for (const std::string* address : {&from, &recipient})
    {
        for (unsigned char c : *address)
        {
            if (c < 0x20 || c == 0x7f || c == '<' || c == '>')
            {
                m_errorText = "address not allowed in an SMTP command";
                return Result::Refused;
            }
        }
    }

    uCurlTransfer::initGlobal();
    std::unique_ptr<CURL, CurlFree> handle(curl_easy_init());
    if (!handle)
    {
        m_errorText = "cannot start libcurl";
        return Result::NotConnected;
    }
    CURL* curl = handle.get();
    std::unique_ptr<curl_slist, CurlFree> recipients(
        curl_slist_append(nullptr, ("<" + recipient + ">").c_str()));
    Upload upload{&data};
    Session session;
    session.cancel = m_cancel;
    char error[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROXY, ""); // never the environment's proxy
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, kResponseTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    // A password never travels in clear text beyond this machine.
    bool requireTls = login != nullptr && !IsLoopback(host);
    curl_easy_setopt(curl, CURLOPT_USE_SSL,
                     requireTls ? static_cast<long>(CURLUSESSL_ALL) : static_cast<long>(CURLUSESSL_TRY));
    if (login != nullptr)
    {
        curl_easy_setopt(curl, CURLOPT_USERNAME, login->user.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, login->password.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, ("<" + from + ">").c_str());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadUpload);
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(data.size()));
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L); // feeds the command watcher
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, WatchCommands);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &session);
    curl_easy_setopt(curl, CURLOPT_OPENSOCKETFUNCTION, OpenSocket);
    curl_easy_setopt(curl, CURLOPT_OPENSOCKETDATA, &session);
    curl_easy_setopt(curl, CURLOPT_CLOSESOCKETFUNCTION, CloseSocket);
    curl_easy_setopt(curl, CURLOPT_CLOSESOCKETDATA, &session);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);

    CURLcode code = Perform(curl, session);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &m_responseCode);
    m_errorText = error[0] != '\0' ? error : curl_easy_strerror(code);
    if (code == CURLE_OK)
        return Result::Sent;
    if (code == CURLE_ABORTED_BY_CALLBACK || (m_cancel != nullptr && m_cancel->load()))
        return Result::Cancelled;
    // 530: authentication required (RFC 4954); a refused login ends before MAIL FROM.
    if (code == CURLE_LOGIN_DENIED || m_responseCode == 530)
        return Result::LoginNeeded;
    return session.mailFromSent ? Result::Refused : Result::NotConnected;
}
