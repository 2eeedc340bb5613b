#include "foundation/MimeMessage.h"

#include "foundation/uBase64.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <random>

namespace
{
constexpr std::size_t kQuotedLineLimit = 76;
// 39 bytes give a 52-character word: with "Subject: " in front a folded
// line stays within 78 octets.
constexpr std::size_t kWordBytes = 39;

bool IsControl(unsigned char c)
{
    return c < 0x20 || c == 0x7f;
}

std::string Hex(unsigned char c)
{
    static const char kDigits[] = "0123456789ABCDEF";
    return {'=', kDigits[c >> 4], kDigits[c & 15]};
}

std::string Base64(const std::string& bytes)
{
    std::string out;
    for (std::size_t at = 0; at < bytes.size(); at += 3)
    {
        char group[4];
        int count = static_cast<int>(std::min<std::size_t>(3, bytes.size() - at));
        Base64EncodeBlock(reinterpret_cast<const unsigned char*>(bytes.data() + at), group, count);
        out.append(group, 4);
    }
    return out;
}

// Splits UTF-8 text into pieces of at most `limit` bytes without cutting a character.
std::vector<std::string> SplitCharacters(const std::string& text, std::size_t limit)
{
    std::vector<std::string> pieces;
    std::size_t at = 0;
    while (at < text.size())
    {
        std::size_t end = std::min(text.size(), at + limit);
        std::size_t cut = end;
        while (cut < text.size() && cut > at && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        if (cut == at) // not UTF-8 after all: cut anywhere
            cut = end;
        pieces.push_back(text.substr(at, cut - at));
        at = cut;
    }
    return pieces;
}

std::string EncodedWords(const std::string& text)
{
    std::string out;
    for (const std::string& piece : SplitCharacters(text, kWordBytes))
    {
        if (!out.empty())
            out += "\r\n ";
        out += "=?UTF-8?B?" + Base64(piece) + "?=";
    }
    return out;
}

std::string WithoutControls(const std::string& text)
{
    std::string clean(text);
    for (char& c : clean)
    {
        if (IsControl(static_cast<unsigned char>(c)))
            c = ' ';
    }
    return clean;
}

// A display name as atoms when it is only letters, digits and spaces; else encoded words.
std::string EncodePhrase(const std::string& name)
{
    std::string clean = WithoutControls(name);
    bool plain = clean.size() <= 60;
    for (unsigned char c : clean)
        plain = plain && ((std::isalnum(c) && c < 0x80) || c == ' ');
    return plain ? clean : EncodedWords(clean);
}

bool IsTokenCharacter(unsigned char c)
{
    return c < 0x80 &&
           (std::isalnum(c) || std::string("!#$&^_.+-").find(static_cast<char>(c)) != std::string::npos);
}

bool IsValidContentType(const std::string& type)
{
    std::size_t slash = type.find('/');
    if (slash == std::string::npos || slash == 0)
        return false;
    std::size_t end = slash + 1;
    while (end < type.size() && IsTokenCharacter(static_cast<unsigned char>(type[end])))
        ++end;
    if (end == slash + 1 || (end < type.size() && type[end] != ';'))
        return false;
    for (std::size_t i = 0; i < type.size(); ++i)
    {
        auto c = static_cast<unsigned char>(type[i]);
        if (i < slash ? !IsTokenCharacter(c) : (c < 0x20 || c > 0x7e))
            return false;
    }
    return true;
}

// A file name parameter: quoted when it is plain ASCII, else RFC 2231 percent-encoded UTF-8.
std::string FileNameParameter(const char* parameter, const std::string& name)
{
    bool plain = true;
    for (unsigned char c : name)
        plain = plain && c >= 0x20 && c < 0x7f && c != '"' && c != '\\';
    if (plain)
        return std::string(parameter) + "=\"" + name + "\"";
    std::string out = std::string(parameter) + "*=UTF-8''";
    for (unsigned char c : name)
    {
        if (IsTokenCharacter(c) && c != '\'' && c != '%')
            out += static_cast<char>(c);
        else
            out += "%" + Hex(c).substr(1);
    }
    return out;
}

std::string RandomHex(int bytes)
{
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += Hex(static_cast<unsigned char>(generator() & 0xff)).substr(1);
    return out;
}

std::string FormatDate(std::time_t now)
{
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d +0000", kDays[utc.tm_wday], utc.tm_mday,
                  kMonths[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}
} // namespace

bool CMimeMessage::IsSafeAddress(const std::string& address)
{
    if (address.empty())
        return false;
    for (unsigned char c : address)
    {
        if (IsControl(c) || c == '<' || c == '>')
            return false;
    }
    return true;
}

std::string CMimeMessage::EncodeQuotedPrintable(const std::string& text)
{
    std::string out;
    std::size_t lineLength = 0;
    auto emit = [&](const std::string& token)
    {
        // Keep room for the "=" of a soft break.
        if (lineLength + token.size() > kQuotedLineLimit - 1)
        {
            out += "=\r\n";
            lineLength = 0;
        }
        out += token;
        lineLength += token.size();
    };
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r' || c == '\n')
        {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += "\r\n";
            lineLength = 0;
            continue;
        }
        bool lineEnds = i + 1 == text.size() || text[i + 1] == '\r' || text[i + 1] == '\n';
        bool literal = (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !lineEnds);
        emit(literal ? std::string(1, static_cast<char>(c)) : Hex(c));
    }
    return out;
}

std::string CMimeMessage::EncodeHeaderText(const std::string& text)
{
    std::string clean = WithoutControls(text);
    bool plain = clean.size() <= 60 && clean.find("=?") == std::string::npos;
    for (unsigned char c : clean)
        plain = plain && c < 0x80;
    return plain ? clean : EncodedWords(clean);
}

bool CMimeMessage::SetSender(const std::string& address)
{
    if (!IsSafeAddress(address))
        return false;
    m_sender = address;
    return true;
}

void CMimeMessage::SetSenderName(const std::string& name)
{
    m_senderName = name;
}

bool CMimeMessage::AddRecipient(const std::string& address)
{
    if (!IsSafeAddress(address))
        return false;
    m_recipients.push_back(address);
    return true;
}

void CMimeMessage::SetSubject(const std::string& text)
{
    m_subject = text;
}

void CMimeMessage::AddText(const std::string& text)
{
    m_parts.push_back(
        {"Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n",
         EncodeQuotedPrintable(text)});
}

void CMimeMessage::AttachRaw(const std::string& data, const std::string& displayName,
                             const std::string& contentType)
{
    std::string name = WithoutControls(displayName);
    std::string type = IsValidContentType(contentType) ? contentType : "application/octet-stream";
    std::string body;
    b64::LineEncoder encoder;
    encoder.add(reinterpret_cast<const unsigned char*>(data.data()), data.size(), body);
    encoder.finish(body);
    // The line break before the next boundary belongs to the boundary.
    if (body.size() >= 2)
        body.resize(body.size() - 2);
    m_parts.push_back({"Content-Type: " + type + "; " + FileNameParameter("name", name) +
                           "\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: attachment; " +
                           FileNameParameter("filename", name) + "\r\n",
                       body});
}

std::string CMimeMessage::Serialize(std::time_t now) const
{
    std::string out = "Date: " + FormatDate(now) + "\r\n";
    out += "From: ";
    if (!m_senderName.empty())
        out += EncodePhrase(m_senderName) + "\r\n ";
    out += "<" + m_sender + ">\r\n";
    for (std::size_t i = 0; i < m_recipients.size(); ++i)
        out +=
            (i == 0 ? "To: <" : " <") + m_recipients[i] + (i + 1 < m_recipients.size() ? ">,\r\n" : ">\r\n");
    out += "Subject:";
    if (!m_subject.empty())
        out += " " + EncodeHeaderText(m_subject);
    out += "\r\n";
    std::size_t at = m_sender.rfind('@');
    std::string domain = at == std::string::npos ? "localhost" : m_sender.substr(at + 1);
    out += "Message-ID: <" + RandomHex(12) + "@" + domain + ">\r\n";
    out += "MIME-Version: 1.0\r\n";
    if (m_parts.empty())
        return out + "Content-Type: text/plain; charset=utf-8\r\n\r\n";

    // "=_" can appear neither in base64 nor in quoted-printable text.
    const std::string boundary = "=_kestrova_" + RandomHex(12);
    out += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
    for (const Part& part : m_parts)
        out += "--" + boundary + "\r\n" + part.headers + "\r\n" + part.body + "\r\n";
    out += "--" + boundary + "--\r\n";
    return out;
}
