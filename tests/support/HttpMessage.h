#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport
{

// One request as the local HTTP server received it.
struct HttpRequest
{
    std::string method;
    std::string target;  // as on the request line: "/a?b" or, through a proxy, "http://host/a?b"
    std::string path;    // target without scheme, authority and query
    std::string query;   // text after "?", without it
    std::string version; // "HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> headers; // in arrival order, values trimmed
    std::string body;                                         // decoded (Content-Length or chunked)
    std::size_t connection = 0; // 1-based number of the connection that carried it

    // First header of that name (case-insensitive); empty when absent.
    std::string header(const std::string& name) const;
    bool hasHeader(const std::string& name) const;
    // Value of one cookie from the Cookie header; empty when absent.
    std::string cookie(const std::string& name) const;
    // Start offset of "Range: bytes=N-..."; nullopt without a usable Range header.
    std::optional<std::size_t> rangeStart() const;
};

// A scripted answer: a well-formed HTTP/1.1 reply unless broken on purpose.
struct HttpResponse
{
    int status = 200;
    std::string reason;                   // empty: the usual phrase for the status
    std::vector<std::string> headerLines; // sent as they stand, so odd spacing is possible
    std::string body;
    int dripMs = 0; // pause between body pieces of dripBytes each
    std::size_t dripBytes = 1;
    std::optional<std::size_t> breakAfter; // close after this many body bytes; the headers announce all,
                                           // a chunked body ends without its last chunk
    bool stallAfterHeaders = false;        // headers, then silence until the server stops
    bool chunked = false;                  // no Content-Length: the body goes in chunks, size unannounced
    // Sends holdAfter body bytes, calls hold (which may block: a gate) and then sends the rest.
    std::size_t holdAfter = 0;
    std::function<void()> hold;
    // Calls holdInHead before the blank line that ends the headers, when given.
    std::function<void()> holdInHead;

    HttpResponse& header(const std::string& name, const std::string& value);
};

HttpResponse TextResponse(int status, const std::string& body, const std::string& contentType = "text/plain");
HttpResponse RedirectResponse(const std::string& location, int status = 302);
// 401 with a Basic challenge and a small HTML page.
HttpResponse UnauthorizedResponse(const std::string& realm = "kestrova-test");
// Serves `content` honouring "Range: bytes=N-[M]": 206 with Content-Range, 416 when N is at or
// past the end. With honourRange false the Range header is ignored (200 and the whole content).
HttpResponse ContentResponse(const HttpRequest& request, const std::string& content,
                             const std::string& contentType = "application/octet-stream",
                             bool honourRange = true);

// True when the request carries "Authorization: Basic" for exactly this user and password.
bool HasBasicAuth(const HttpRequest& request, const std::string& user, const std::string& password,
                  const char* headerName = "Authorization");
std::string Base64Encode(const std::string& bytes);
std::string StatusPhrase(int status);

} // namespace testsupport
