#pragma once

#include <ctime>
#include <string>
#include <vector>

// A mail message built from parts and written as RFC 5322 / MIME bytes: every
// line ends in CR LF and no line is longer than 78 octets, so the bytes can
// go to an SMTP server as they are. Texts are UTF-8.
//
// Nothing a caller passes reaches a header line raw: addresses holding a
// control character, "<" or ">" are refused; the sender name and the subject
// are written as RFC 2047 encoded words when they hold anything but plain
// printable ASCII, so a CR or LF in them can never start a header of its own.
class CMimeMessage
{
public:
    // False (nothing changed) for an address a header or an SMTP command
    // cannot carry safely.
    bool SetSender(const std::string& address);
    void SetSenderName(const std::string& name);
    bool AddRecipient(const std::string& address);
    void SetSubject(const std::string& text);
    // A text/plain part in UTF-8, quoted-printable.
    void AddText(const std::string& text);
    // An attachment of raw bytes, base64. The content type must be a plain
    // "type/subtype" with optional parameters; anything else becomes
    // "application/octet-stream".
    void AttachRaw(const std::string& data, const std::string& displayName, const std::string& contentType);

    const std::string& GetSender() const { return m_sender; }
    const std::vector<std::string>& GetRecipients() const { return m_recipients; }

    // The whole message: headers, a blank line, a multipart/mixed body with
    // the parts in the order they were added. `now` gives the Date header.
    std::string Serialize(std::time_t now) const;
    std::string Serialize() const { return Serialize(std::time(nullptr)); }

    // True when the text holds no control character, "<" or ">" and is not empty.
    static bool IsSafeAddress(const std::string& address);
    // RFC 2045 quoted-printable of UTF-8 text; CR LF, a lone CR and a lone LF
    // all become line breaks (CR LF).
    static std::string EncodeQuotedPrintable(const std::string& text);
    // The header value: the text as it is when it is short printable ASCII,
    // else folded UTF-8 "B" encoded words. Control characters become spaces
    // first (titles come from pages and may hold line breaks).
    static std::string EncodeHeaderText(const std::string& text);

private:
    struct Part
    {
        std::string headers; // each line ended by CR LF
        std::string body;    // encoded, ended by CR LF
    };

    std::string m_sender;
    std::string m_senderName;
    std::vector<std::string> m_recipients;
    std::string m_subject;
    std::vector<Part> m_parts;
};
