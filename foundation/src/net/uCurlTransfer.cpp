#include "foundation/uCurlTransfer.h"

#include "foundation/ProductAddress.h"
#include "foundation/uAscii.h"
#include "foundation/uUrl.h"
#include "uCookieJar.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <curl/curl.h>
#include <mutex>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace
{

const std::string kUserAgent =
    std::string("Mozilla/4.0 (compatible; Kestrova RSS reader/ruvivivod +") + kProductWebAddress + ")";
const char* const kAllowedProtocols = "http,https,ftp";
constexpr long kMaxRedirects = 30;

CURL* Handle(void* handle)
{
    return static_cast<CURL*>(handle);
}

// Ends the transfer (CURLE_ABORTED_BY_CALLBACK) once the caller's flag is set. libcurl calls
// this at least once a second, also while no data flows.
int AbortWhenFlagged(void* flag, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0;
}

// The body sink of downloadToFile: refuses an HTTP error body before its first byte reaches the
// file, so a 404 page never becomes a podcast episode or an icon.
struct DownloadSink
{
    CURL* handle = nullptr;
    uFile* file = nullptr;
    bool refuseHttpErrors = false;
    bool refused = false;
    int64_t limit = 0; // 0: none
    int64_t received = 0;
    bool tooLarge = false;

    static std::size_t write(char* data, std::size_t size, std::size_t count, void* user)
    {
        auto* sink = static_cast<DownloadSink*>(user);
        sink->received += static_cast<int64_t>(size * count);
        if (sink->limit > 0 && sink->received > sink->limit)
        {
            sink->tooLarge = true;
            return 0;
        }
        if (sink->refuseHttpErrors)
        {
            long code = 0;
            curl_easy_getinfo(sink->handle, CURLINFO_RESPONSE_CODE, &code);
            if (code >= 400)
            {
                sink->refused = true;
                return 0;
            }
        }
        return uCurlTransfer::writeToFile(data, size, count, sink->file);
    }
};

// The body sink of the string transfers, with the same size limit.
struct StringSink
{
    uString* body = nullptr;
    int64_t limit = 0;
    bool tooLarge = false;

    static std::size_t write(char* data, std::size_t size, std::size_t count, void* user)
    {
        auto* sink = static_cast<StringSink*>(user);
        if (sink->limit > 0 && sink->body->getLength() + static_cast<int64_t>(size * count) > sink->limit)
        {
            sink->tooLarge = true;
            return 0;
        }
        return uCurlTransfer::writeToString(data, size, count, sink->body);
    }
};

std::size_t Discard(char*, std::size_t size, std::size_t count, void*)
{
    return size * count;
}

} // namespace

void uCurlTransfer::initGlobal()
{
    static std::once_flag once;
    std::call_once(once,
                   []
                   {
                       curl_global_init(CURL_GLOBAL_DEFAULT);
                       std::signal(SIGPIPE, SIG_IGN);
                   });
}

uCurlTransfer::uCurlTransfer()
{
    initGlobal();
    m_handle = curl_easy_init();
    if (!m_handle)
    {
        fail(kNoHandle, uString("Failed to create CURL object for "));
        return;
    }
    CURL* curl = Handle(m_handle);
    // Each result is kept: a failure here blocks the object like any other.
    (void)(record(curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L)) &&
           record(curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, kAllowedProtocols)) &&
           record(curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, kAllowedProtocols)) &&
           record(curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects)) &&
           record(
               curl_easy_setopt(curl, CURLOPT_PROXY, "")) && // "" = no proxy, not even from the environment
           record(curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L)) &&
           record(curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L)));
}

uCurlTransfer::uCurlTransfer(const uString& url) : uCurlTransfer()
{
    m_port = ExtractPort(url);
    if (m_handle)
    {
        setURL(url, 0);
    }
    else
    {
        m_url = url;
        m_effectiveUrl = url;
        m_protocol = static_cast<uint16_t>(getProtocol());
        fail(kNoHandle, uString("Failed to create CURL object for ") + url);
    }
}

uCurlTransfer::~uCurlTransfer()
{
    if (!m_handle)
        return;
    if (m_cookieJar)
        m_cookieJar->detach(m_cookieTicket, std::time(nullptr));
    curl_easy_cleanup(Handle(m_handle));
}

void uCurlTransfer::saveDueCookies()
{
    uCookieJar::saveAll(std::time(nullptr));
}

void uCurlTransfer::setCookieSaveHook(void (*hook)(const std::string& cookieFile))
{
    uCookieJar::setSaveHook(hook);
}

void uCurlTransfer::setCookieMergeHook(void (*hook)(const std::string& cookieFile))
{
    uCookieJar::setMergeHook(hook);
}

void uCurlTransfer::setCookieClockOffset(long long nanoseconds)
{
    uCookieJar::setClockOffset(nanoseconds);
}

bool uCurlTransfer::record(int code)
{
    if (code == CURLE_FILESIZE_EXCEEDED)
        m_bodyTooLarge = true;
    m_lastResult = static_cast<uint16_t>(code);
    if (code != CURLE_OK)
        m_errorText = curl_easy_strerror(static_cast<CURLcode>(code));
    return code == CURLE_OK;
}

bool uCurlTransfer::fail(int code, const uString& text)
{
    m_lastResult = static_cast<uint16_t>(code);
    m_errorText = text;
    return false;
}

uString uCurlTransfer::getHost()
{
    return ExtractHost(m_url);
}

int uCurlTransfer::getDefaultPort()
{
    return GetDefaultPort(m_url);
}

uString uCurlTransfer::getFilePath()
{
    return ExtractFilePath(m_url);
}

uString uCurlTransfer::getServer()
{
    return getHost();
}

uString uCurlTransfer::getPath()
{
    return ExtractPath(m_url);
}

int uCurlTransfer::getPort()
{
    return m_port;
}

uString uCurlTransfer::getScheme()
{
    return ExtractScheme(m_url);
}

uString uCurlTransfer::getQuery()
{
    return ExtractQuery(m_url);
}

uString uCurlTransfer::getFragment()
{
    return ExtractFragment(m_url);
}

uString uCurlTransfer::getUserInfo()
{
    return ExtractUserInfo(m_url);
}

const uString& uCurlTransfer::normalizeURL()
{
    uString composed;
    buildURL(composed);
    m_url = composed;
    return m_url;
}

void uCurlTransfer::buildURL(uString& out)
{
    out.setEmpty();
    out += getScheme();
    out += "://";
    uString userInfo = getUserInfo();
    if (!userInfo.isEmpty())
    {
        out += userInfo;
        out += "@";
    }
    out += getHost();
    if (m_port > 0 && m_port != getDefaultPort())
    {
        out += ":";
        out += static_cast<int>(m_port);
    }
    out += getPath();
}

bool uCurlTransfer::setURL(const uString& url, int port)
{
    m_url = url;
    m_effectiveUrl = url;
    m_protocol = static_cast<uint16_t>(getProtocol());
    if (!m_handle)
        return false; // stays kNoHandle: a reset must not make a dead object look healthy
    m_lastResult = 0;
    CURL* curl = Handle(m_handle);
    if (!record(curl_easy_setopt(curl, CURLOPT_URL, m_url.c_str())) ||
        !record(curl_easy_setopt(curl, CURLOPT_TCP_NODELAY, 1L)) ||
        // Slower than 5 bytes a second for 10 seconds counts as a dead line.
        !record(curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 5L)) ||
        !record(curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 10L)))
        return false;
    if (port > 0)
    {
        if (!setPort(port))
            return false;
    }
    else
    {
        m_port = ExtractPort(url);
        // A port given to an earlier setURL must not stick to this URL.
        if (!record(curl_easy_setopt(curl, CURLOPT_PORT, 0L)))
            return false;
    }
    m_headers.setEmpty();
    return true;
}

bool uCurlTransfer::setPort(int port)
{
    if (!ready())
        return false;
    m_port = port;
    return record(curl_easy_setopt(Handle(m_handle), CURLOPT_PORT, static_cast<long>(port)));
}

bool uCurlTransfer::setProxy(const uString& host, int port, bool socks5, const uString& user,
                             const uString& password)
{
    if (host.isEmpty())
        return false;
    m_proxyHost = host;
    m_proxyPort = "";
    m_proxyPort += port < 1 ? 8080 : port;
    m_proxyUser = user;
    m_proxyPassword = password;
    m_socks5 = socks5;
    return applyProxy();
}

bool uCurlTransfer::applyProxy()
{
    if (m_proxyHost.isEmpty() || !ready())
        return false;
    CURL* curl = Handle(m_handle);
    if (!record(curl_easy_setopt(curl, CURLOPT_PROXY, m_proxyHost.c_str())) ||
        // The configured proxy serves every host, whatever no_proxy says.
        !record(curl_easy_setopt(curl, CURLOPT_NOPROXY, "")))
        return false;
    if (!m_proxyPort.isEmpty() &&
        !record(curl_easy_setopt(curl, CURLOPT_PROXYPORT, std::strtol(m_proxyPort.c_str(), nullptr, 10))))
        return false;
    // Separate name and password: a ":" inside either survives.
    if (!m_proxyUser.isEmpty() &&
        (!record(curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, m_proxyUser.c_str())) ||
         !record(curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, m_proxyPassword.c_str()))))
        return false;
    return record(
        curl_easy_setopt(curl, CURLOPT_PROXYTYPE,
                         m_socks5 ? static_cast<long>(CURLPROXY_SOCKS5) : static_cast<long>(CURLPROXY_HTTP)));
}

bool uCurlTransfer::setTimeout(int seconds)
{
    if (!ready())
        return false;
    m_timeout = seconds;
    long limit = seconds > 0 ? seconds : 0;
    CURL* curl = Handle(m_handle);
    return record(curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, limit)) &&
           record(curl_easy_setopt(curl, CURLOPT_TIMEOUT, limit));
}

void uCurlTransfer::setCredentials(const uString& user, const uString& password)
{
    m_user = user;
    m_password = password;
}

bool uCurlTransfer::setMaxBodyBytes(int64_t bytes)
{
    if (!ready())
        return false;
    m_maxBodyBytes = bytes > 0 ? bytes : 0;
    return record(curl_easy_setopt(Handle(m_handle), CURLOPT_MAXFILESIZE_LARGE,
                                   static_cast<curl_off_t>(m_maxBodyBytes)));
}

bool uCurlTransfer::setCookieFile(const uFile& file)
{
    if (!m_handle)
        return false;
    // What arrived for an earlier file still goes there.
    if (m_cookieJar)
        m_cookieJar->detach(m_cookieTicket, std::time(nullptr));
    const uString path = file.getPath();
    // The file is the site's of the address asked for.
    m_cookieJar = path.isEmpty() ? nullptr
                                 : uCookieJar::forFile(std::string(path.c_str()),
                                                       std::string(ExtractHost(m_url).c_str()));
    if (m_cookieJar)
    {
        m_cookieJar->refresh();
        m_cookieTicket = m_cookieJar->attach();
    }
    CURL* curl = Handle(m_handle);
    // The file is never given to libcurl: it would read it into the store
    // again at every transfer, putting older values over newer ones; the jar
    // reads and writes it. Without a jar the handle keeps cookies of its own.
    // "" turns the engine on, which RELOAD does at once.
    CURLcode result = curl_easy_setopt(curl, CURLOPT_COOKIEFILE, nullptr);
    if (result == CURLE_OK)
        result = curl_easy_setopt(curl, CURLOPT_SHARE, m_cookieJar ? m_cookieJar->share() : nullptr);
    if (result == CURLE_OK)
        result = curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");
    if (result == CURLE_OK)
        result = curl_easy_setopt(curl, CURLOPT_COOKIELIST, "RELOAD");
    // Runs whatever the state, but never hides an earlier failure (a failed proxy set-up must
    // not turn into a direct connection).
    if (result != CURLE_OK)
        return record(result);
    return m_lastResult == 0;
}

int uCurlTransfer::getProtocol()
{
    uString lower = m_url;
    lower.makeLower();
    if (lower.startsWith("https://"))
        return kHttps;
    if (lower.startsWith("ftp://"))
        return kFtp;
    return kHttp;
}

const char* uCurlTransfer::getHeaders()
{
    return m_headers.c_str();
}

const char* uCurlTransfer::getURL()
{
    return m_url.c_str();
}

const char* uCurlTransfer::getEffectiveURL()
{
    return m_effectiveUrl.c_str();
}

bool uCurlTransfer::prepareHttp(bool noBody)
{
    if (!ready())
        return false;
    if (!isHttp())
        return true;
    CURL* curl = Handle(m_handle);
    if (!record(curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent.c_str())) ||
        !record(curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L)) ||
        !record(curl_easy_setopt(curl, CURLOPT_NOBODY, noBody ? 1L : 0L)))
        return false;
    if (!m_user.isEmpty())
    {
        if (!record(curl_easy_setopt(curl, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_ANY))) ||
            !record(curl_easy_setopt(curl, CURLOPT_USERNAME, m_user.c_str())) ||
            !record(curl_easy_setopt(curl, CURLOPT_PASSWORD, m_password.c_str())))
            return false;
    }
    else
    {
        // Cleared credentials must not linger on the handle for the next URL.
        if (!record(curl_easy_setopt(curl, CURLOPT_USERNAME, nullptr)) ||
            !record(curl_easy_setopt(curl, CURLOPT_PASSWORD, nullptr)) ||
            !record(curl_easy_setopt(curl, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC))))
            return false;
    }
    if (m_protocol == kHttps)
    {
        // Verified: downloads run unattended and their files go on to a user command.
        if (!record(curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L)) ||
            !record(curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L)))
            return false;
    }
    return true;
}

bool uCurlTransfer::installHeaderSink(void* sink, bool toFile)
{
    CURL* curl = Handle(m_handle);
    m_headerSink = sink;
    m_headerSinkIsFile = toFile;
    m_setCookies = false;
    return record(curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &relayHeader)) &&
           record(curl_easy_setopt(curl, CURLOPT_HEADERDATA, this));
}

std::size_t uCurlTransfer::relayHeader(char* data, std::size_t size, std::size_t count, void* user)
{
    auto* self = static_cast<uCurlTransfer*>(user);
    const std::size_t kept = self->m_headerSinkIsFile ? writeToFile(data, size, count, self->m_headerSink)
                                                      : writeToString(data, size, count, self->m_headerSink);
    if (self->m_cookieJar)
    {
        // The store took each Set-Cookie as libcurl parsed it; the blank line
        // ends the answer's headers, and the file is to follow the store.
        std::string_view line(data, size * count);
        constexpr std::string_view kSetCookie = "set-cookie:";
        if (StartsWithNoCase(line, kSetCookie))
        {
            line.remove_prefix(kSetCookie.size());
            line = line.substr(0, line.find_first_of(";\r\n"));
            const std::size_t equals = std::min(line.find('='), line.size());
            auto trimmed = [](std::string_view part)
            {
                const std::size_t first = part.find_first_not_of(" \t");
                return first == std::string_view::npos
                           ? std::string_view()
                           : part.substr(first, part.find_last_not_of(" \t") - first + 1);
            };
            // Now, not at the end of the headers, which a slow site may keep for long.
            self->m_cookieJar->arrived(std::string(trimmed(line.substr(0, equals)))
                                           .append("\t")
                                           .append(trimmed(line.substr(std::min(equals + 1, line.size())))));
            self->m_setCookies = true;
        }
        else if ((line == "\r\n" || line == "\n") && self->m_setCookies)
        {
            self->m_cookieJar->answered();
            self->m_setCookies = false;
        }
    }
    return kept;
}

bool uCurlTransfer::perform()
{
    return applyAbortFlag() && record(curl_easy_perform(Handle(m_handle)));
}

bool uCurlTransfer::applyAbortFlag()
{
    CURL* curl = Handle(m_handle);
    if (m_abortFlag)
    {
        if (!record(curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &AbortWhenFlagged)) ||
            !record(curl_easy_setopt(curl, CURLOPT_XFERINFODATA, m_abortFlag)) ||
            !record(curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L)))
            return false;
        return true;
    }
    return record(curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 1L));
}

bool uCurlTransfer::readStatus()
{
    CURL* curl = Handle(m_handle);
    char* effective = nullptr;
    if (!record(curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &effective)))
        return false;
    if (effective)
        m_effectiveUrl = effective;
    long code = 0;
    if (!record(curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code)))
        return false;
    m_serverResponseCode = static_cast<int32_t>(code);
    // With a proxy the kept status is the proxy's answer to the tunnel request (0 for a plain
    // request it forwarded); the origin's answer stays available for telling errors apart.
    if (!m_proxyHost.isEmpty() && !record(curl_easy_getinfo(curl, CURLINFO_HTTP_CONNECTCODE, &code)))
        return false;
    m_responseCode = static_cast<int32_t>(code);
    return true;
}

long uCurlTransfer::currentResponseCode() const
{
    long code = 0;
    curl_easy_getinfo(Handle(m_handle), CURLINFO_RESPONSE_CODE, &code);
    return code;
}

// Sinks and per-transfer switches point at objects of the finished call: clear them so no
// later transfer writes through a stale pointer. Their results are not kept (they cannot fail
// on a valid handle, and they must not mask the transfer's own result).
void uCurlTransfer::resetTransferOptions()
{
    CURL* curl = Handle(m_handle);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, nullptr);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, nullptr);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Discard);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, nullptr);
    curl_easy_setopt(curl, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(0));
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 0L);
}

std::size_t uCurlTransfer::writeToString(char* data, std::size_t size, std::size_t count, void* user)
{
    std::size_t bytes = size * count;
    if (bytes == 0)
        return 0;
    // Byte for byte: the counted append would stop at a NUL, and UTF-16 pages are full of them.
    return static_cast<uString*>(user)->appendBytes(data, bytes) ? bytes : 0;
}

std::size_t uCurlTransfer::writeToFile(char* data, std::size_t size, std::size_t count, void* user)
{
    uint32_t bytes = static_cast<uint32_t>(size * count);
    if (bytes == 0)
        return 0;
    if (!static_cast<uFile*>(user)->write(data, &bytes))
        return 0;
    return bytes;
}

bool uCurlTransfer::resumedFileIsComplete(int64_t size) const
{
    // "Content-Range: bytes */N" names the full size; a file longer than that is not complete.
    uString lower = m_headers;
    lower.makeLower();
    int at = lower.reverseFind("content-range:");
    if (at < 0)
        return true;
    int star = lower.find("*/", at);
    int lineEnd = lower.find("\r\n", at);
    if (star < 0 || (lineEnd >= 0 && star > lineEnd))
        return true;
    return std::strtoll(lower.c_str() + star + 2, nullptr, 10) == size;
}

bool uCurlTransfer::downloadToFile(uFile* file)
{
    if (!file || !prepareHttp(false))
        return false;
    CURL* curl = Handle(m_handle);
    const int64_t existing = file->isFile() ? file->getSize() : 0;
    bool resuming = existing > 0;

    m_headers.setEmpty();
    DownloadSink sink{curl, file, isHttp(), false, m_maxBodyBytes, resuming ? existing : 0, false};
    bool configured = applyAbortFlag() &&
                      record(curl_easy_setopt(curl, CURLOPT_RESUME_FROM_LARGE,
                                              static_cast<curl_off_t>(resuming ? existing : 0))) &&
                      // Stops at the error status already, before the range check could call a
                      // 404 during a resume a server without range support.
                      record(curl_easy_setopt(curl, CURLOPT_FAILONERROR, isHttp() ? 1L : 0L)) &&
                      (!isHttp() || installHeaderSink(&m_headers, false)) &&
                      record(curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &DownloadSink::write)) &&
                      record(curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink));
    if (!configured)
    {
        resetTransferOptions();
        return false;
    }

    file->setMode(resuming ? uFile::kModeAppend : uFile::kModeWrite);
    if (!file->open())
    {
        resetTransferOptions();
        return fail(CURLE_WRITE_ERROR, uString("Cannot open ") + file->getPath() + " for writing");
    }
    CURLcode result = curl_easy_perform(curl);
    // A resume the server refused (no range support), broke off, or could not serve (the file
    // is longer than the remote one; without this the download would never complete): start
    // over once, replacing the partial file rather than appending a second copy.
    if (resuming && !sink.tooLarge &&
        (result == CURLE_RANGE_ERROR || result == CURLE_PARTIAL_FILE ||
         result == CURLE_BAD_DOWNLOAD_RESUME) &&
        currentResponseCode() < 400)
    {
        file->close();
        file->remove();
        file->setMode(uFile::kModeWrite);
        resuming = false;
        // The limit counts the new body alone: the old partial bytes are gone.
        sink.received = 0;
        m_headers.setEmpty();
        if (!file->open())
        {
            resetTransferOptions();
            return fail(CURLE_WRITE_ERROR, uString("Cannot open ") + file->getPath() + " for writing");
        }
        curl_easy_setopt(curl, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(0));
        result = curl_easy_perform(curl);
    }
    file->close();
    if (sink.tooLarge)
        result = CURLE_FILESIZE_EXCEEDED;

    const long code = currentResponseCode();
    if (isHttp() && code >= 400 && !sink.tooLarge)
    {
        if (resuming && code == 416 && resumedFileIsComplete(existing))
            result = CURLE_OK;
        else if (result == CURLE_OK || sink.refused)
            result = CURLE_HTTP_RETURNED_ERROR;
    }
    resetTransferOptions();
    if (result != CURLE_OK && file->isFile() && file->getSize() == 0)
        file->remove(); // nothing arrived: leave no empty file that looks like a download
    if (!record(result))
        return false;
    return readStatus();
}

bool uCurlTransfer::downloadToString(uString* body)
{
    if (!body || !prepareHttp(false))
        return false;
    CURL* curl = Handle(m_handle);
    m_headers.setEmpty();
    body->setEmpty();
    StringSink sink{body, m_maxBodyBytes, false};
    bool ok = (!isHttp() || installHeaderSink(&m_headers, false)) &&
              record(curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &StringSink::write)) &&
              record(curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink)) && perform() && readStatus();
    resetTransferOptions();
    if (sink.tooLarge)
    {
        body->setEmpty();
        return record(CURLE_FILESIZE_EXCEEDED);
    }
    return ok;
}

bool uCurlTransfer::headRequest(void* sink, bool toFile)
{
    CURL* curl = Handle(m_handle);
    bool ok = installHeaderSink(sink, toFile) &&
              record(curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Discard)) && perform() && readStatus();
    resetTransferOptions();
    // The next transfer is a GET with a body again.
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    return ok;
}

// Header requests are HTTP's: the enclosure size probe, the torrent test and
// feed discovery skip FTP links, so no caller asks an FTP server for headers.
// The refusal records no failure: that would stay and stop the next transfer.
bool uCurlTransfer::headRequestAllowed() const
{
    return isHttp();
}

bool uCurlTransfer::getHead(uString* headers)
{
    if (!headers || !headRequestAllowed() || !prepareHttp(true))
        return false;
    m_headers.setEmpty();
    headers->setEmpty();
    bool ok = headRequest(headers, false);
    m_headers += *headers; // also after a failure: what arrived may explain it
    return ok;
}

bool uCurlTransfer::headToFile(uFile* file)
{
    if (!file || !headRequestAllowed() || !prepareHttp(true))
        return false;
    file->setMode(uFile::kModeWrite);
    if (!file->open())
        return fail(CURLE_WRITE_ERROR, uString("Cannot open ") + file->getPath() + " for writing");
    bool ok = headRequest(file, true);
    file->close();
    return ok;
}

bool uCurlTransfer::needsLogin()
{
    if (isHttp())
        return m_responseCode == 401;
    return m_responseCode == 331 || m_responseCode == 332 || m_responseCode == 530;
}

std::vector<uFormField> uCurlTransfer::zipFields(const std::vector<uString>& names,
                                                 const std::vector<uString>& values)
{
    std::vector<uFormField> fields;
    for (std::size_t i = 0; i < names.size() && i < values.size(); ++i)
        fields.push_back(uFormField{names[i], values[i]});
    return fields;
}

uString uCurlTransfer::formString(const std::vector<uFormField>& fields)
{
    uString form;
    for (const uFormField& field : fields)
    {
        if (!form.isEmpty())
            form += "&";
        form += escape(field.name);
        form += "=";
        form += escape(field.value);
    }
    return form;
}

bool uCurlTransfer::postWithSinks(bool sinksInstalled, const uString& data)
{
    CURL* curl = Handle(m_handle);
    // The body is copied: the caller's string may go away before a redirect resends it.
    bool ok = sinksInstalled && prepareHttp(false) &&
              record(curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                                      static_cast<curl_off_t>(data.getLength()))) &&
              record(curl_easy_setopt(curl, CURLOPT_COPYPOSTFIELDS, data.c_str())) && perform() &&
              readStatus();
    resetTransferOptions();
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    return ok;
}

bool uCurlTransfer::post(const uString& data)
{
    if (!ready())
        return false;
    m_headers.setEmpty();
    bool installed = (!isHttp() || installHeaderSink(&m_headers, false)) &&
                     record(curl_easy_setopt(Handle(m_handle), CURLOPT_WRITEFUNCTION, &Discard));
    return postWithSinks(installed, data);
}

bool uCurlTransfer::postToFile(const uString& data, uFile* file)
{
    if (!file || !ready())
        return false;
    file->setMode(uFile::kModeWrite);
    if (!file->open())
        return fail(CURLE_WRITE_ERROR, uString("Cannot open ") + file->getPath() + " for writing");
    CURL* curl = Handle(m_handle);
    m_headers.setEmpty();
    bool installed = (!isHttp() || installHeaderSink(&m_headers, false)) &&
                     record(curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &writeToFile)) &&
                     record(curl_easy_setopt(curl, CURLOPT_WRITEDATA, file));
    return postWithSinks(installed, data);
}

bool uCurlTransfer::postToString(const uString& data, uString* body)
{
    if (!body || !ready())
        return false;
    CURL* curl = Handle(m_handle);
    m_headers.setEmpty();
    body->setEmpty();
    StringSink sink{body, m_maxBodyBytes, false};
    bool installed = (!isHttp() || installHeaderSink(&m_headers, false)) &&
                     record(curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &StringSink::write)) &&
                     record(curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink));
    const bool ok = postWithSinks(installed, data);
    if (sink.tooLarge)
    {
        body->setEmpty();
        return record(CURLE_FILESIZE_EXCEEDED);
    }
    return ok;
}

bool uCurlTransfer::postFormFields(const std::vector<uString>& names, const std::vector<uString>& values)
{
    return post(formString(zipFields(names, values)));
}

bool uCurlTransfer::postFormFields(const std::vector<uFormField>& fields)
{
    return post(formString(fields));
}

bool uCurlTransfer::postFormToFile(const std::vector<uString>& names, const std::vector<uString>& values,
                                   uFile* file)
{
    return postToFile(formString(zipFields(names, values)), file);
}

bool uCurlTransfer::postFormToFile(const std::vector<uFormField>& fields, uFile* file)
{
    return postToFile(formString(fields), file);
}

bool uCurlTransfer::postForm(const std::vector<uString>& names, const std::vector<uString>& values,
                             uString* body)
{
    return postToString(formString(zipFields(names, values)), body);
}

bool uCurlTransfer::postForm(const std::vector<uFormField>& fields, uString* body)
{
    return postToString(formString(fields), body);
}

bool uCurlTransfer::getForm(const std::vector<uString>& names, const std::vector<uString>& values,
                            uString* body)
{
    std::vector<uFormField> fields = zipFields(names, values);
    if (!fields.empty())
    {
        uString url = m_url;
        uString fragment;
        int hash = url.findChar('#');
        if (hash >= 0)
        {
            fragment = uString(url, hash, url.getLength() - hash);
            url.truncate(hash);
        }
        // A query already in the action URL is kept and the form joins it.
        if (url.findChar('?') < 0)
            url += "?";
        else if (!url.endsWith("?") && !url.endsWith("&"))
            url += "&";
        url += formString(fields);
        url += fragment;
        setURL(url, 0);
    }
    return downloadToString(body);
}
