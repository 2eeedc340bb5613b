#include "support/HttpMessage.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace testsupport
{

namespace
{

bool EqualNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) {
                                                  return std::tolower(static_cast<unsigned char>(x)) ==
                                                         std::tolower(static_cast<unsigned char>(y));
                                              });
}

std::string Trim(const std::string& text)
{
    std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

struct ByteRange
{
    std::size_t start = 0;
    std::optional<std::size_t> end; // inclusive
};

std::optional<ByteRange> ParseRange(const std::string& value)
{
    const std::string prefix = "bytes=";
    if (value.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    std::string spec = value.substr(prefix.size());
    std::size_t dash = spec.find('-');
    if (dash == std::string::npos || dash == 0 || spec.find(',') != std::string::npos)
        return std::nullopt;
    ByteRange range;
    char* stop = nullptr;
    range.start = std::strtoull(spec.c_str(), &stop, 10);
    if (stop != spec.c_str() + dash)
        return std::nullopt;
    if (dash + 1 < spec.size())
        range.end = std::strtoull(spec.c_str() + dash + 1, nullptr, 10);
    return range;
}

} // namespace

std::string HttpRequest::header(const std::string& name) const
{
    for (const auto& [key, value] : headers)
        if (EqualNoCase(key, name))
            return value;
    return {};
}

bool HttpRequest::hasHeader(const std::string& name) const
{
    return std::any_of(headers.begin(), headers.end(),
                       [&](const auto& h) { return EqualNoCase(h.first, name); });
}

std::string HttpRequest::cookie(const std::string& name) const
{
    std::string all = header("Cookie");
    std::size_t pos = 0;
    while (pos < all.size())
    {
        std::size_t end = all.find(';', pos);
        if (end == std::string::npos)
            end = all.size();
        std::string pair = Trim(all.substr(pos, end - pos));
        std::size_t eq = pair.find('=');
        if (eq != std::string::npos && pair.substr(0, eq) == name)
            return pair.substr(eq + 1);
        pos = end + 1;
    }
    return {};
}

std::optional<std::size_t> HttpRequest::rangeStart() const
{
    auto range = ParseRange(header("Range"));
    if (!range)
        return std::nullopt;
    return range->start;
}

HttpResponse& HttpResponse::header(const std::string& name, const std::string& value)
{
    headerLines.push_back(name + ": " + value);
    return *this;
}

HttpResponse TextResponse(int status, const std::string& body, const std::string& contentType)
{
    HttpResponse response;
    response.status = status;
    response.body = body;
    response.header("Content-Type", contentType);
    return response;
}

HttpResponse RedirectResponse(const std::string& location, int status)
{
    HttpResponse response = TextResponse(status, "moved\n");
    response.header("Location", location);
    return response;
}

HttpResponse UnauthorizedResponse(const std::string& realm)
{
    HttpResponse response = TextResponse(401, "<html><body>login required</body></html>", "text/html");
    response.header("WWW-Authenticate", "Basic realm=\"" + realm + "\"");
    return response;
}

HttpResponse ContentResponse(const HttpRequest& request, const std::string& content,
                             const std::string& contentType, bool honourRange)
{
    std::optional<ByteRange> range;
    if (honourRange)
        range = ParseRange(request.header("Range"));
    if (!range)
    {
        HttpResponse whole = TextResponse(200, content, contentType);
        if (honourRange)
            whole.header("Accept-Ranges", "bytes");
        return whole;
    }
    const std::size_t size = content.size();
    if (range->start >= size)
    {
        HttpResponse refused = TextResponse(416, "", contentType);
        refused.header("Content-Range", "bytes */" + std::to_string(size));
        return refused;
    }
    std::size_t last = std::min(range->end.value_or(size - 1), size - 1);
    HttpResponse part = TextResponse(206, content.substr(range->start, last - range->start + 1), contentType);
    part.header("Accept-Ranges", "bytes");
    part.header("Content-Range", "bytes " + std::to_string(range->start) + "-" + std::to_string(last) + "/" +
                                     std::to_string(size));
    return part;
}

std::string Base64Encode(const std::string& bytes)
{
    static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3)
    {
        unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                     (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                     static_cast<unsigned char>(bytes[i + 2]);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += alphabet[v & 63];
    }
    if (i + 1 == bytes.size())
    {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += "==";
    }
    else if (i + 2 == bytes.size())
    {
        unsigned v =
            (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

bool HasBasicAuth(const HttpRequest& request, const std::string& user, const std::string& password,
                  const char* headerName)
{
    return request.header(headerName) == "Basic " + Base64Encode(user + ":" + password);
}

std::string StatusPhrase(int status)
{
    switch (status)
    {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 206:
        return "Partial Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 304:
        return "Not Modified";
    case 307:
        return "Temporary Redirect";
    case 308:
        return "Permanent Redirect";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 407:
        return "Proxy Authentication Required";
    case 416:
        return "Range Not Satisfiable";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

} // namespace testsupport
