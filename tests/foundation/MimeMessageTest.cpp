#include "foundation/MimeMessage.h"

#include "support/MimeReader.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace
{
// Every line ends in CR LF (no lone CR or LF) and stays within `limit` octets.
void ExpectWellFormedLines(const std::string& text, std::size_t limit)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == '\n')
            ADD_FAILURE() << "lone LF at " << i;
        if (text[i] != '\r')
            continue;
        ASSERT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "lone CR at " << i;
        EXPECT_LE(i - start, limit) << text.substr(start, i - start);
        start = i + 2;
        ++i;
    }
    EXPECT_EQ(start, text.size()) << "the last line has no CR LF";
}

std::vector<std::string> HeaderNames(const MimePart& part)
{
    std::vector<std::string> names;
    for (const auto& header : part.headers)
        names.push_back(header.first);
    return names;
}
} // namespace

TEST(MimeMessageTest, HeadersAreEncodedAndALineBreakInATitleAddsNoHeader)
{
    CMimeMessage message;
    ASSERT_TRUE(message.SetSender("zoe@example.test"));
    message.SetSenderName("Zoë \"Z\" Ünal");
    ASSERT_TRUE(message.AddRecipient("max@example.test"));
    const std::string title =
        "Café news\r\nBcc: evil@attacker.test\r\nX-Long: " + std::string(90, 'x') + " ü";
    message.SetSubject("FWD: " + title);
    message.AddText("hello");

    std::string raw = message.Serialize(0);
    ExpectWellFormedLines(raw, 78);
    MimePart parsed = ReadMimePart(raw);
    EXPECT_EQ(HeaderNames(parsed), (std::vector<std::string>{"Date", "From", "To", "Subject", "Message-ID",
                                                             "MIME-Version", "Content-Type"}));
    EXPECT_EQ(parsed.header("Date"), "Thu, 01 Jan 1970 00:00:00 +0000");
    EXPECT_EQ(DecodeEncodedWords(parsed.header("Subject")),
              "FWD: Café news  Bcc: evil@attacker.test  X-Long: " + std::string(90, 'x') + " ü");
    EXPECT_EQ(DecodeEncodedWords(parsed.header("From")), "Zoë \"Z\" Ünal <zoe@example.test>");
    EXPECT_EQ(parsed.header("To"), "<max@example.test>");

    // Short plain ASCII stays readable.
    CMimeMessage plain;
    ASSERT_TRUE(plain.SetSender("a@example.test"));
    plain.SetSubject("FWD: Weekly");
    EXPECT_EQ(ReadMimePart(plain.Serialize(0)).header("Subject"), "FWD: Weekly");
}

TEST(MimeMessageTest, AddressesThatCouldCarryACommandAreRefused)
{
    CMimeMessage message;
    for (const std::string& address :
         {std::string(), std::string("a@b.test\r\nRCPT TO:<x@y.test>"), std::string("a@b.test\n"),
          std::string("a\0b@c.test", 10), std::string("<a@b.test>"), std::string("a@b.test>, <c@d.test")})
    {
        EXPECT_FALSE(message.SetSender(address)) << address;
        EXPECT_FALSE(message.AddRecipient(address)) << address;
    }
    EXPECT_TRUE(message.GetSender().empty());
    EXPECT_TRUE(message.GetRecipients().empty());
    EXPECT_TRUE(message.AddRecipient("first.last@sub.example.test"));
}

TEST(MimeMessageTest, PartsKeepTheirOrderAndDecodeToTheirBytes)
{
    std::string text = "Größe = 100%\nsecond line ends in a blank \r\nthird\rfourth\t\r\n" +
                       std::string(40, 'a') + std::string(30, 'e') + "é" + std::string(120, 'z') + "\r\n.dot";
    std::string binary;
    for (int i = 0; i < 600; ++i)
        binary += static_cast<char>(i * 7 % 256);

    CMimeMessage message;
    ASSERT_TRUE(message.SetSender("a@example.test"));
    ASSERT_TRUE(message.AddRecipient("b@example.test"));
    message.AddText(text);
    message.AddText("footer");
    message.AttachRaw(binary, "Page \"one\"", "text/html; charset=utf-8");
    message.AttachRaw("x", "naïve.html", "text/html\r\nBcc: x@y.test");

    std::string raw = message.Serialize(0);
    ExpectWellFormedLines(raw, 78);
    std::vector<MimePart> parts = ReadMimeParts(ReadMimePart(raw));
    ASSERT_EQ(parts.size(), 4u);
    std::string normalised = "Größe = 100%\r\nsecond line ends in a blank \r\nthird\r\nfourth\t\r\n" +
                             std::string(40, 'a') + std::string(30, 'e') + "é" + std::string(120, 'z') +
                             "\r\n.dot";
    EXPECT_EQ(parts[0].header("Content-Type"), "text/plain; charset=utf-8");
    EXPECT_EQ(parts[0].decodedBody(), normalised);
    EXPECT_EQ(parts[1].decodedBody(), "footer");
    EXPECT_EQ(parts[2].header("Content-Type"), "text/html; charset=utf-8; name*=UTF-8''Page%20%22one%22");
    EXPECT_EQ(parts[2].header("Content-Disposition"), "attachment; filename*=UTF-8''Page%20%22one%22");
    EXPECT_EQ(parts[2].decodedBody(), binary);
    // A content type that is not one falls back; a non-ASCII name is percent-encoded.
    EXPECT_EQ(parts[3].header("Content-Type"), "application/octet-stream; name*=UTF-8''na%C3%AFve.html");
    EXPECT_EQ(parts[3].decodedBody(), "x");
}
