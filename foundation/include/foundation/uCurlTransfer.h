#pragma once

#include "foundation/uFile.h"
#include "foundation/uString.h"
#include "foundation/uUrl.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class uCookieJar;

// One field of a submitted form.
struct uFormField
{
    uString name;
    uString value;
};

// One libcurl easy handle performing blocking HTTP, HTTPS and FTP transfers on the calling
// thread: into a file (resuming a partial one), into a string, as a header request, or as a
// form submission.
//
// Failures are sticky: after a failed option or transfer every operation returns false until
// the next setURL. getLastResult and getErrorText tell why (libcurl's code and text).
//
// Hardening, fixed for every object: only http, https and ftp (also after redirects), at most
// 30 redirects, TLS certificates verified against the system store, no proxy from the
// environment (only the one given to setProxy), no signals from libcurl.
//
// An object belongs to one thread at a time; setAbortFlag's flag may be set from any thread.
class uCurlTransfer
{
public:
    static constexpr uint16_t kNoHandle = 0xFFFF; // last result when libcurl gave no handle
    enum Protocol : uint16_t
    {
        kHttp = 0,
        kHttps = 1,
        kFtp = 2
    };

    uCurlTransfer();
    explicit uCurlTransfer(const uString& url);
    virtual ~uCurlTransfer(); // the last transfer of a site writes its cookie file
    uCurlTransfer(const uCurlTransfer&) = delete;
    uCurlTransfer& operator=(const uCurlTransfer&) = delete;

    // libcurl's process-wide set-up, done once (the constructor calls it too). Also ignores
    // SIGPIPE: with signals off, a peer that closes would otherwise end the process.
    static void initGlobal();
    // Waits for the cookie saves running now, then makes those still due because another
    // process held the cookie folder's lock: the program's close calls it. It waits a moment
    // for the lock, then writes without it.
    static void saveDueCookies();
    // Each cookie domain of a site's jar keeps at most this many cookies, the least recently set
    // going first, as in browsers: a host that a redirect reaches never pushes out the site's own.
    static constexpr std::size_t kMostCookiesPerDomain = 300;
    // A site's jar keeps at most this many; beyond it the domain holding the most gives way first,
    // those whose cookies the site's own host is sent last.
    static constexpr std::size_t kMostCookiesPerSite = 3000;
    // Tests: called inside every cookie file write, with the new file flushed beside the old
    // one, just before it replaces it. Null removes it.
    static void setCookieSaveHook(void (*hook)(const std::string& cookieFile));
    // Tests: called whenever a jar takes in what its file holds, after it listed its store and
    // before the file's values go in. Null removes it.
    static void setCookieMergeHook(void (*hook)(const std::string& cookieFile));
    // Tests: the clock that dates cookies runs this many nanoseconds from the system's.
    static void setCookieClockOffset(long long nanoseconds);

    // Parts of the request URL.
    virtual uString getHost();
    virtual int getDefaultPort();
    virtual uString getFilePath();
    virtual uString getServer();
    virtual uString getPath();
    virtual int getPort();
    virtual uString getScheme();
    virtual uString getQuery();
    virtual uString getFragment();
    virtual uString getUserInfo();
    // Rebuilds the URL from its parts and keeps the result as the URL.
    virtual const uString& normalizeURL();
    virtual void buildURL(uString& out);

    // Sets the URL for the next transfers and clears an earlier failure. A port above 0
    // overrides the URL's.
    virtual bool setURL(const uString& url, int port = 0);
    virtual bool setPort(int port);
    // An empty host leaves the transfer without a proxy. A port below 1 means 8080.
    virtual bool setProxy(const uString& host, int port, bool socks5, const uString& user,
                          const uString& password);
    virtual bool applyProxy();
    // Limits connecting and the whole transfer to this many seconds; 0 or less: no limit.
    virtual bool setTimeout(int seconds);
    // Used for HTTP and HTTPS (any authentication method the server offers); FTP takes its
    // credentials from the URL only.
    virtual void setCredentials(const uString& user, const uString& password);
    // The transfer works on the process's cookie store of this file's site, which is read from
    // the file when the process first uses it (only when it is a plain file, never through a
    // link; a file that cannot be read whole is read again later, and never replaced). The
    // store takes the cookies of each answer as they arrive; each save lets the least recently
    // set go beyond kMostCookiesPerDomain and kMostCookiesPerSite, the site being that of the
    // first transfer to use the file. The file is written from it soon after an answer set
    // cookies, and at once when the last transfer of the site is destroyed; merged over what
    // the file holds then, where of a cookie that another process changed too the value set
    // later wins, a deletion by the site included. While another process holds the folder's
    // lock the save is made at the next one, except at the close (saveDueCookies), which
    // writes without it; a holder whose own write would replace such a write merges it instead
    // of undoing it. Each write goes into a private temporary file beside it that is then
    // renamed over it. An empty path turns the cookie engine on without a file.
    virtual bool setCookieFile(const uFile& file);
    virtual int getProtocol();
    virtual const char* getHeaders();
    virtual const char* getURL();
    virtual const char* getEffectiveURL();

    // GET into the file. An existing non-empty file is resumed; when the server ignores the
    // range or the resumed transfer breaks off, it is downloaded anew, once. HTTP status 400 or more fails,
    // and the error body never reaches the file; whatever arrived before a failure stays for the next
    // attempt. A 416 while resuming means the file is already complete: success.
    virtual bool downloadToFile(uFile* file);
    // GET into the string. An HTTP error page is a successful transfer here (see needsLogin).
    virtual bool downloadToString(uString* body);
    // Header requests, for HTTP and HTTPS only: false for FTP, which answers
    // none (nothing in the program asks an FTP server for headers).
    virtual bool headToFile(uFile* file);
    virtual bool getHead(uString* headers);
    // The last answer asked for credentials: 401 over HTTP(S), 331, 332 or 530 over FTP, as
    // getResponseCode gives it (so never through a proxy).
    virtual bool needsLogin();

    // Form submissions: fields are joined as escape(name)=escape(value) with "&".
    virtual bool postFormFields(const std::vector<uString>& names, const std::vector<uString>& values);
    virtual bool postFormFields(const std::vector<uFormField>& fields);
    virtual bool post(const uString& data);
    virtual bool postFormToFile(const std::vector<uString>& names, const std::vector<uString>& values,
                                uFile* file);
    virtual bool postFormToFile(const std::vector<uFormField>& fields, uFile* file);
    // The response body goes to the file, which stays open for the caller to close.
    virtual bool postToFile(const uString& data, uFile* file);
    virtual bool postForm(const std::vector<uString>& names, const std::vector<uString>& values,
                          uString* body);
    virtual bool postForm(const std::vector<uFormField>& fields, uString* body);
    virtual bool postToString(const uString& data, uString* body);
    // GET of the URL with the form as its query ("&" joins it to a query already there).
    virtual bool getForm(const std::vector<uString>& names, const std::vector<uString>& values,
                         uString* body);

    uint16_t getLastResult() const { return m_lastResult; }
    const char* getErrorText() const { return m_errorText.c_str(); }
    // The status of the last successful transfer; through a proxy, the proxy's answer to the
    // tunnel request (CONNECT), which is 0 for a plain HTTP request it forwarded.
    int32_t getResponseCode() const { return m_responseCode; }
    // The origin server's status, also through a proxy: the one to judge a page by.
    int32_t getServerResponseCode() const { return m_serverResponseCode; }

    // While *flag is true, a running or later transfer ends within about a second with
    // CURLE_ABORTED_BY_CALLBACK (42). The flag must outlive the transfers; null removes it.
    void setAbortFlag(const std::atomic<bool>* flag) { m_abortFlag = flag; }
    // Bodies received into a file or a string may hold at most this many bytes (0: no limit);
    // a larger one ends its transfer as it passes the limit, or before it starts when its size
    // is announced, with CURLE_FILESIZE_EXCEEDED (63).
    bool setMaxBodyBytes(int64_t bytes);
    // A transfer of this object ended because its body passed the limit.
    bool bodyTooLarge() const { return m_bodyTooLarge; }

    // libcurl write callbacks: `user` is a uString (appended to) or a uFile (written to).
    static std::size_t writeToString(char* data, std::size_t size, std::size_t count, void* user);
    static std::size_t writeToFile(char* data, std::size_t size, std::size_t count, void* user);

private:
    bool ready() const { return m_handle && m_lastResult == 0; }
    bool record(int code);
    bool fail(int code, const uString& text);
    // The header callback of every transfer: hands the line to the sink of the call and has
    // the cookies of each response saved once its headers are complete.
    static std::size_t relayHeader(char* data, std::size_t size, std::size_t count, void* user);
    bool prepareHttp(bool noBody);
    bool isHttp() const { return m_protocol == kHttp || m_protocol == kHttps; }
    bool installHeaderSink(void* sink, bool toFile);
    bool perform();
    bool applyAbortFlag();
    bool readStatus();
    void resetTransferOptions();
    long currentResponseCode() const;
    bool headRequestAllowed() const;
    bool headRequest(void* sink, bool toFile);
    bool postWithSinks(bool sinksInstalled, const uString& data);
    bool resumedFileIsComplete(int64_t size) const;
    static uString formString(const std::vector<uFormField>& fields);
    static std::vector<uFormField> zipFields(const std::vector<uString>& names,
                                             const std::vector<uString>& values);

    void* m_handle = nullptr; // CURL*
    uString m_url;
    uString m_effectiveUrl;
    int32_t m_responseCode = 0;
    int32_t m_serverResponseCode = 0;
    uint16_t m_lastResult = 0;
    uint16_t m_protocol = kHttp;
    int32_t m_port = 0;
    int32_t m_timeout = 0;
    uString m_headers;
    uString m_user;
    uString m_password;
    uString m_proxyHost;
    uString m_proxyPort;
    uString m_proxyUser;
    uString m_proxyPassword;
    bool m_socks5 = false;
    uCookieJar* m_cookieJar = nullptr; // the site's, shared by the process
    uint64_t m_cookieTicket = 0;       // of the jar's attach
    void* m_headerSink = nullptr;
    bool m_headerSinkIsFile = false;
    bool m_setCookies = false; // the response whose headers are arriving set cookies
    uString m_errorText;
    const std::atomic<bool>* m_abortFlag = nullptr;
    int64_t m_maxBodyBytes = 0;
    bool m_bodyTooLarge = false;
};
