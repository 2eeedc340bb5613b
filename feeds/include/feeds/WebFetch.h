#pragma once

#include "foundation/uCurlTransfer.h"
#include "foundation/uFile.h"
#include "foundation/uString.h"

#include <atomic>
#include <cstdint>

// The only ways the program fetches from the web. Each call builds its own
// transfer on the calling thread and blocks it; the configured proxy, the
// time-out (seconds, 0 = no limit) and a cookie file per site in the cache
// folder apply to every call. With `login` set, the fetch goes through
// SubmitLoginForm, which answers HTTP authentication and fills in a page's
// login form; `prompt` allows it to ask the user for credentials. Without it,
// the login stored for the URL is still offered when the server asks (401).
//
// Headers and the other out-parameters are set only when the call succeeds.
// `effectiveUrl` receives the URL reached after redirects. While *abortFlag
// is true a running call ends soon with a failure.

// A bound on the body of one fetch (0: none); `exceeded` tells afterwards
// that the fetch failed because the body passed it.
struct CFetchLimits
{
    std::int64_t maxBytes = 0;
    bool exceeded = false;
};

// The URL into the file at the target's path (the caller's object is not
// opened). Without login an existing non-empty file is resumed. An HTTP
// status of 400 or more fails without the error page reaching the file, with
// login or without.
bool FetchUrlToFile(const uString& url, const uFile& target, int timeout, uString* headers, bool login,
                    bool prompt, uString* effectiveUrl = nullptr,
                    const std::atomic<bool>* abortFlag = nullptr, CFetchLimits* limits = nullptr);

// The URL into `body`, which is left as it was on failure. An HTTP error page
// counts as a successful fetch here.
bool FetchUrlToString(const uString& url, uString& body, int timeout, uString* headers, bool login,
                      bool prompt, const std::atomic<bool>* abortFlag = nullptr);

// The response headers. Without login a HEAD request (HTTP and HTTPS only);
// with login a full GET, and the headers of every response it received.
bool FetchUrlHeader(const uString& url, uString& headers, int timeout, bool login, bool prompt,
                    const std::atomic<bool>* abortFlag = nullptr);

// Fetches the transfer's URL into `body`, logging in on the way when the
// answer asks for it: a 401 is retried at the URL reached, with credentials
// stored for it or typed at the prompt; a page with a password form gets the
// form submitted with stored or typed credentials. Credentials only go to the
// site (scheme, host and port) they were stored or typed for. The result is
// that of the last request; `body` holds its response.
bool SubmitLoginForm(uCurlTransfer& transfer, uString& body, bool prompt);
