#include "support/MimeReader.h"

#include "foundation/uBase64.h"

#include <strings.h>

namespace testsupport
{

namespace
{
int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string FromBase64(const std::string& text)
{
    uString decoded = Base64Decode(uString(text.c_str()));
    return std::string(decoded.c_str(), static_cast<std::size_t>(decoded.getLength()));
}
} // namespace

std::string MimePart::header(const std::string& name) const
{
    for (const auto& [key, value] : headers)
    {
        if (strcasecmp(key.c_str(), name.c_str()) == 0)
            return value;
    }
    return {};
}

std::string MimePart::decodedBody() const
{
    std::string encoding = header("Content-Transfer-Encoding");
    if (strcasecmp(encoding.c_str(), "base64") == 0)
        return FromBase64(body);
    if (strcasecmp(encoding.c_str(), "quoted-printable") == 0)
        return DecodeQuotedPrintable(body);
    return body;
}

MimePart ReadMimePart(const std::string& raw)
{
    MimePart part;
    std::size_t end = raw.find("\r\n\r\n");
    std::string head = raw.substr(0, end == std::string::npos ? raw.size() : end + 2);
    part.body = end == std::string::npos ? std::string() : raw.substr(end + 4);
    std::size_t at = 0;
    while (at < head.size())
    {
        std::size_t lineEnd = head.find("\r\n", at);
        std::string line = head.substr(at, lineEnd - at);
        at = lineEnd + 2;
        if (!line.empty() && (line[0] == ' ' || line[0] == '\t') && !part.headers.empty())
        {
            part.headers.back().second += line; // unfolding keeps the blank
            continue;
        }
        std::size_t colon = line.find(':');
        std::string value = colon == std::string::npos ? std::string() : line.substr(colon + 1);
        if (!value.empty() && value[0] == ' ')
            value.erase(0, 1);
        part.headers.emplace_back(line.substr(0, colon), value);
    }
    return part;
}

std::vector<MimePart> ReadMimeParts(const MimePart& message)
{
    std::string type = message.header("Content-Type");
    std::size_t at = type.find("boundary=\"");
    if (at == std::string::npos)
        return {};
    std::string boundary = "--" + type.substr(at + 10, type.find('"', at + 10) - at - 10);
    std::vector<MimePart> parts;
    std::size_t start = message.body.find(boundary);
    while (start != std::string::npos && message.body.compare(start + boundary.size(), 2, "--") != 0)
    {
        std::size_t content = start + boundary.size() + 2;
        std::size_t next = message.body.find("\r\n" + boundary, content);
        if (next == std::string::npos)
            break;
        parts.push_back(ReadMimePart(message.body.substr(content, next - content)));
        start = next + 2;
    }
    return parts;
}

std::string DecodeEncodedWords(const std::string& value)
{
    std::string out, blanks;
    bool afterWord = false;
    std::size_t at = 0;
    while (at < value.size())
    {
        if (value.compare(at, 2, "=?") == 0)
        {
            std::size_t charsetEnd = value.find('?', at + 2);
            std::size_t encodingEnd = value.find('?', charsetEnd + 1);
            std::size_t end = value.find("?=", encodingEnd + 1);
            if (charsetEnd != std::string::npos && encodingEnd == charsetEnd + 2 &&
                end != std::string::npos && std::toupper(value[charsetEnd + 1]) == 'B')
            {
                std::string text = value.substr(encodingEnd + 1, end - encodingEnd - 1);
                if (!afterWord)
                    out += blanks;
                blanks.clear();
                out += FromBase64(text);
                afterWord = true;
                at = end + 2;
                continue;
            }
        }
        if (value[at] == ' ' || value[at] == '\t')
            blanks += value[at];
        else
        {
            out += blanks + value[at];
            blanks.clear();
            afterWord = false;
        }
        ++at;
    }
    return out + blanks;
}

std::string DecodeQuotedPrintable(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] != '=')
        {
            out += text[i];
            continue;
        }
        if (text.compare(i + 1, 2, "\r\n") == 0)
        {
            i += 2; // soft line break
            continue;
        }
        int high = i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
        int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
        if (high < 0 || low < 0)
        {
            out += '=';
            continue;
        }
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

} // namespace testsupport
