#include "feeds/WebFetch.h"

#include "feeds/CredentialPrompt.h"
#include "feeds/LoginFormHandler.h"
#include "feeds/PageUrl.h"
#include "feeds/Preference.h"
#include "foundation/uHash.h"
#include "foundation/uHtmlParser.h"
#include "foundation/uUrl.h"

#include <cstdlib>

namespace
{

// The site's cookie file, named after the MD5 of its root URL; the transfer
// writes it (private) once the site sets a cookie. An empty path when there
// is no cache folder.
uFile CookieFileFor(const uString& url, const CPreference& configuration)
{
    uFile cache = configuration.GetCacheDir(); // made again (private) when it went missing
    if (cache.getPath().isEmpty() || !cache.isDirectory())
        return uFile();
    uMD5 digest(0);
    digest.hashString(GetBaseURL(url).c_str());
    uString name;
    digest.getHexDigest(name);
    name += ".cookie";
    return uFile(cache.getPath().c_str(), name.c_str());
}

void Prepare(uCurlTransfer& transfer, const uString& url, int timeout, const std::atomic<bool>* abortFlag)
{
    CPreference* configuration = CPreference::GetInstance();
    transfer.setTimeout(timeout);
    CPreference::ProxySection proxy = configuration->GetProxySection();
    if (!proxy.strHostname.isEmpty())
        transfer.setProxy(proxy.strHostname, std::atoi(proxy.strPort.c_str()), proxy.bSock5,
                          proxy.strUsername, proxy.strPassword);
    transfer.setCookieFile(CookieFileFor(url, *configuration));
    transfer.setAbortFlag(abortFlag);
    // The login the user stored for this URL serves every fetch of it, the
    // refresh's and the downloads' too, which never show a login form or a
    // prompt. libcurl offers it only when the server asks (401), and only to
    // the site of the URL.
    uString user;
    uString password;
    if (configuration->GetAuthList().GetCredentials(url.c_str(), user, password))
        transfer.setCredentials(user, password);
}

// Asks the user for the credentials of `site`; what was confirmed is stored
// under that URL and replaces `user` and `password`.
bool AskAndStore(CAuthList& credentials, const uString& site, uString& user, uString& password)
{
    uString typedUser;
    uString typedPassword;
    if (!CCredentialPrompt::AskInstalled(site, user, typedUser, typedPassword))
        return false;
    user = typedUser;
    password = typedPassword;
    credentials.FindOrAdd(site.c_str(), user.c_str(), password.c_str());
    return true;
}

// The answer was 401 (or an FTP login refusal): one more request at the URL
// reached, with credentials that belong to that site or none at all.
bool RetryWithCredentials(uCurlTransfer& transfer, uString& body, bool prompt, CAuthList& credentials,
                          const uString& requested, const uString& effective, uString user, uString password)
{
    uString storedUser;
    uString storedPassword;
    if (effective != requested && credentials.GetCredentials(effective.c_str(), storedUser, storedPassword))
    {
        user = storedUser;
        password = storedPassword;
    }
    else
    {
        if (!pageurl::SameOrigin(requested, effective))
        {
            user.setEmpty();
            password.setEmpty();
        }
        if (prompt)
            AskAndStore(credentials, effective, user, password);
    }
    transfer.setCredentials(user, password);
    transfer.setURL(effective, 0);
    return transfer.downloadToString(&body);
}

} // namespace

bool SubmitLoginForm(uCurlTransfer& transfer, uString& body, bool prompt)
{
    CAuthList& credentials = CPreference::GetInstance()->GetAuthList();
    const uString requested(transfer.getURL());
    uString user;
    uString password;
    if (credentials.GetCredentials(requested.c_str(), user, password))
        transfer.setCredentials(user, password);
    if (!transfer.downloadToString(&body))
        return false;
    const uString effective(transfer.getEffectiveURL());

    if (transfer.needsLogin())
        return RetryWithCredentials(transfer, body, prompt, credentials, requested, effective, user,
                                    password);

    uHtmlParser parser;
    auto* form = new CLoginFormHandler();
    parser.setHandler(form);
    form->SetBaseURL(effective);
    parser.parseBuffer(body.c_str(), body.getLength());
    if (!form->SawPasswordInput())
        return true;

    // Credentials go only to the site they belong to: the form must submit to
    // the page's own site, and stored ones only when no redirect left the site
    // they were stored for.
    const uString action = form->GetActionURL();
    if (!pageurl::SameOrigin(action, effective))
        return true;
    if (!pageurl::SameOrigin(requested, effective))
    {
        user.setEmpty();
        password.setEmpty();
    }
    if ((user.isEmpty() || password.isEmpty()) && prompt)
        AskAndStore(credentials, effective, user, password);
    if (user.isEmpty() || password.isEmpty())
        return true;

    std::vector<uString>& values = form->GetValues();
    for (uString& value : values)
    {
        if (value.isEmpty())
            value = user;
        else if (value == CLoginFormHandler::kPasswordMarker)
            value = password;
    }
    transfer.setCredentials(user, password); // should the action also ask for HTTP authentication
    transfer.setURL(action, 0);
    if (form->IsPostMethod())
        return transfer.postForm(form->GetNames(), values, &body);
    return transfer.getForm(form->GetNames(), values, &body);
}

bool FetchUrlToFile(const uString& url, const uFile& target, int timeout, uString* headers, bool login,
                    bool prompt, uString* effectiveUrl, const std::atomic<bool>* abortFlag,
                    CFetchLimits* limits)
{
    uCurlTransfer transfer(url);
    Prepare(transfer, url, timeout, abortFlag);
    if (limits && limits->maxBytes > 0)
        transfer.setMaxBodyBytes(limits->maxBytes);
    uFile file(target.getPath().c_str());
    bool fetched;
    if (!login)
    {
        fetched = transfer.downloadToFile(&file);
    }
    else
    {
        uString body;
        fetched = SubmitLoginForm(transfer, body, prompt);
        // An error page is no download, with login as without: 400 or more from the server
        // fails, also through a proxy.
        const int protocol = transfer.getProtocol();
        if ((protocol == uCurlTransfer::kHttp || protocol == uCurlTransfer::kHttps) &&
            transfer.getServerResponseCode() >= 400)
            fetched = false;
        // A failed write does not change the result: the fetch itself worked.
        if (fetched && !body.isEmpty())
            file.replaceContents(body.c_str(), static_cast<uint64_t>(body.getLength()));
    }
    if (limits)
        limits->exceeded = transfer.bodyTooLarge();
    if (fetched && headers)
        *headers = transfer.getHeaders();
    if (fetched && effectiveUrl)
        *effectiveUrl = transfer.getEffectiveURL();
    return fetched;
}

bool FetchUrlToString(const uString& url, uString& body, int timeout, uString* headers, bool login,
                      bool prompt, const std::atomic<bool>* abortFlag)
{
    uCurlTransfer transfer(url);
    Prepare(transfer, url, timeout, abortFlag);
    uString fetchedBody;
    bool fetched = login ? SubmitLoginForm(transfer, fetchedBody, prompt)
                         : transfer.downloadToString(&fetchedBody) && transfer.getLastResult() == 0;
    if (!fetched)
        return false;
    body = fetchedBody;
    if (headers)
        *headers = transfer.getHeaders();
    return true;
}

bool FetchUrlHeader(const uString& url, uString& headers, int timeout, bool login, bool prompt,
                    const std::atomic<bool>* abortFlag)
{
    uCurlTransfer transfer(url);
    Prepare(transfer, url, timeout, abortFlag);
    if (login)
    {
        uString body;
        if (!SubmitLoginForm(transfer, body, prompt))
            return false;
        headers = transfer.getHeaders();
        return true;
    }
    if (transfer.getProtocol() == uCurlTransfer::kFtp)
        return false; // header requests are for HTTP and HTTPS
    uString head;
    if (!transfer.getHead(&head) || transfer.getLastResult() != 0)
        return false;
    headers = head;
    return true;
}
