#include "feeds/ForwardMail.h"

#include "feeds/AuthList.h"
#include "feeds/CredentialPrompt.h"
#include "foundation/MimeMessage.h"
#include "foundation/MxLookup.h"
#include "foundation/ProductAddress.h"
#include "foundation/SmtpConnection.h"
#include "support/ChildProcess.h"
#include "support/LocalSmtpServer.h"
#include "support/MimeReader.h"
#include "support/ScriptedSmtpServer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <map>
#include <thread>

using namespace testsupport;
using Result = CMailTransport::Result;

namespace
{
// Answers by server name; records every attempt.
class FakeTransport : public CMailTransport
{
public:
    std::map<std::string, Result> answers;
    std::vector<std::string> attempts;

    Result Send(const std::string& server, const std::string&, const std::string&, const std::string&,
                const Login*) override
    {
        attempts.push_back(server);
        auto found = answers.find(server);
        return found == answers.end() ? Result::NotConnected : found->second;
    }
};

class FakeResolver : public CMxResolver
{
public:
    std::map<std::string, std::vector<std::string>> hosts;
    std::vector<std::string> queries;

    std::vector<std::string> GetMXHosts(const std::string& domain) override
    {
        queries.push_back(domain);
        return hosts[domain];
    }
};

class ScriptedPrompt : public CCredentialPrompt
{
public:
    std::vector<std::pair<std::string, std::string>> answers;
    std::vector<std::string> captions;

    bool Ask(const uString& caption, const uString&, uString& user, uString& password) override
    {
        captions.push_back(caption.c_str());
        if (captions.size() > answers.size())
            return false;
        user = answers[captions.size() - 1].first.c_str();
        password = answers[captions.size() - 1].second.c_str();
        return true;
    }
};

CForwardContent Content(bool attach, const std::string& address)
{
    CForwardContent content;
    content.sender = "zoe@example.test";
    content.senderName = "Zoë Ünal";
    content.recipient = "max@127.0.0.1";
    content.title = "Café <news>";
    content.address = address;
    content.source = "<html><head><title>Café</title></head><body>Größe</body></html>";
    content.attachContent = attach;
    return content;
}

CMimeMessage Message(const CForwardContent& content)
{
    CMimeMessage message;
    EXPECT_TRUE(BuildForwardMessage(content, message));
    return message;
}

std::vector<MimePart> Parts(const CMimeMessage& message)
{
    return ReadMimeParts(ReadMimePart(message.Serialize()));
}

class ForwardMailTest : public ::testing::Test
{
protected:
    ~ForwardMailTest() override { CCredentialPrompt::Install(nullptr); }
};
} // namespace

TEST_F(ForwardMailTest, RecipientCheck)
{
    for (const char* refused :
         {"@example.test", "max@example.", "max.example.test", "max@localhost", "first.last@localhost",
          "max@example.test\r\nRCPT TO:<x@y.test>", "max@example.test>", ""})
        EXPECT_FALSE(IsAcceptableRecipient(refused)) << refused;
    // Spaces and a second "@" are the server's business.
    for (const char* accepted :
         {"max@example.test", "first.last@mail.example.test", "a b@c.test", "a@b@c.test"})
        EXPECT_TRUE(IsAcceptableRecipient(accepted)) << accepted;
}

TEST_F(ForwardMailTest, BaseAddressOfAPage)
{
    EXPECT_EQ(ComputeBaseHref("http://example.test/news/today.html"), "http://example.test/news/");
    EXPECT_EQ(ComputeBaseHref("http://example.test"), "http://example.test/");
    EXPECT_EQ(ComputeBaseHref("http://example.test?go=/a/b"), "http://example.test/");
    EXPECT_EQ(ComputeBaseHref("https://example.test/a/page?next=/x/y#top/z"), "https://example.test/a/");
    EXPECT_EQ(ComputeBaseHref("about:blank"), "about:blank");
    EXPECT_EQ(ComputeBaseHref("/"), "/");
    EXPECT_EQ(ComputeBaseHref("/tmp/items/page.html"), "/tmp/items/");
}

TEST_F(ForwardMailTest, TheBodyHoldsTheAddressOrThePage)
{
    // Attach off with an address: address and footer as text, nothing attached.
    std::vector<MimePart> parts = Parts(Message(Content(false, "http://example.test/a/b.html")));
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].decodedBody(), "http://example.test/a/b.html");
    EXPECT_EQ(parts[1].decodedBody(), kForwardFooter);
    // The footer's last line is the program's one home address.
    EXPECT_TRUE(kForwardFooter.ends_with("Kestrova.\r\n" + std::string(kProductWebAddress) + "\r\n"))
        << kForwardFooter;

    // Otherwise footer and page, with the base (escaped) in front when the address is known.
    const std::string source = Content(true, "").source;
    for (bool attach : {true, false})
    {
        parts = Parts(Message(Content(attach, "")));
        ASSERT_EQ(parts.size(), 2u) << attach;
        EXPECT_EQ(parts[0].decodedBody(), kForwardFooter);
        EXPECT_EQ(parts[1].decodedBody(), source);
    }
    parts = Parts(Message(Content(true, "http://example.test/a\"><script>/p.html?q=1&r=/2")));
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[1].decodedBody(),
              "<base href=\"http://example.test/a&quot;&gt;&lt;script&gt;/\">\r\n" + source);
    EXPECT_EQ(parts[1].header("Content-Type"), "text/html; charset=utf-8; name=\"Kesrtova Feed Forward\"");

    // A recipient that fails the check builds nothing.
    CForwardContent bad = Content(true, "");
    bad.recipient = "max@example.test\r\nDATA";
    CMimeMessage message;
    EXPECT_FALSE(BuildForwardMessage(bad, message));
}

TEST_F(ForwardMailTest, DeliveryOrderWithoutAServer)
{
    CMimeMessage message;
    CForwardContent content = Content(true, "");
    content.recipient = "max@a.b.example";
    ASSERT_TRUE(BuildForwardMessage(content, message));

    // Nobody answers: the domain itself, then the exchangers of the domain
    // and of its parent; the last label alone is never looked up.
    FakeTransport transport;
    FakeResolver resolver;
    resolver.hosts["b.example"] = {"mx1.b.example", "mx2.b.example"};
    CDeliveryContext context{transport, resolver};
    EXPECT_EQ(DeliverMessage(message, "", context), CDeliveryResult::Failed);
    EXPECT_EQ(transport.attempts,
              (std::vector<std::string>{"a.b.example", "mx1.b.example", "mx2.b.example"}));
    EXPECT_EQ(resolver.queries, (std::vector<std::string>{"a.b.example", "b.example"}));

    // The first exchanger that takes the session decides, also when it refuses.
    transport.attempts.clear();
    resolver.queries.clear();
    transport.answers["mx1.b.example"] = Result::Refused;
    EXPECT_EQ(DeliverMessage(message, "", context), CDeliveryResult::Failed);
    EXPECT_EQ(transport.attempts, (std::vector<std::string>{"a.b.example", "mx1.b.example"}));

    // A configured server gets no fallback, and no name is looked up.
    transport.attempts.clear();
    resolver.queries.clear();
    transport.answers["a.b.example"] = Result::Sent;
    EXPECT_EQ(DeliverMessage(message, "smtp.example.test", context), CDeliveryResult::Failed);
    EXPECT_EQ(transport.attempts, (std::vector<std::string>{"smtp.example.test"}));
    EXPECT_TRUE(resolver.queries.empty());
}

TEST_F(ForwardMailTest, ARefusedGreetingMovesOnAndARefusedRecipientIsFinal)
{
    ScriptedSmtpServer refusesGreeting(ScriptedSmtpServer::Greeting(554));
    ScriptedSmtpServer accepts(ScriptedSmtpServer::Accepting());
    ScriptedSmtpServer refusesRecipient(ScriptedSmtpServer::RefusingRecipients());
    // Mail to the domain "127.0.0.1" goes to its port 25, here the refusing greeter.
    CSMTPConnection transport(nullptr, refusesGreeting.port());
    FakeResolver resolver;
    resolver.hosts["127.0.0.1"] = {refusesRecipient.address(), accepts.address()};
    CDeliveryContext context{transport, resolver};
    CMimeMessage message = Message(Content(true, "http://example.test/"));

    EXPECT_EQ(DeliverMessage(message, "", context), CDeliveryResult::Failed);
    EXPECT_EQ(refusesGreeting.connections(), 1);
    EXPECT_EQ(refusesRecipient.connections(), 1);
    EXPECT_EQ(accepts.connections(), 0);
    EXPECT_TRUE(refusesRecipient.messages().empty());

    resolver.hosts["127.0.0.1"] = {accepts.address()};
    EXPECT_EQ(DeliverMessage(message, "", context), CDeliveryResult::Sent);
    ASSERT_EQ(accepts.messages().size(), 1u);
    MimePart received = ReadMimePart(accepts.messages()[0]);
    EXPECT_EQ(received.header("To"), "<max@127.0.0.1>");
    std::vector<MimePart> parts = ReadMimeParts(received);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[1].decodedBody(), "<base href=\"http://example.test/\">\r\n" + Content(true, "").source);
}

TEST_F(ForwardMailTest, AServerThatWantsALoginGetsItFromThePromptAndKeepsIt)
{
    ScriptedSmtpServer server(ScriptedSmtpServer::WantingLogin("zoe", "s3cret"));
    auto prompt = std::make_shared<ScriptedPrompt>();
    prompt->answers = {{"zoe", "wrong"}, {"zoe", "s3cret"}};
    CCredentialPrompt::Install(prompt);
    CSMTPConnection transport;
    FakeResolver resolver;
    CAuthList logins;
    CDeliveryContext context{transport, resolver, &logins};
    CMimeMessage message = Message(Content(true, ""));

    EXPECT_EQ(DeliverMessage(message, server.address(), context), CDeliveryResult::Sent);
    EXPECT_EQ(prompt->captions,
              (std::vector<std::string>{"smtp://" + server.address(), "smtp://" + server.address()}));
    EXPECT_EQ(server.logins(), (std::vector<std::string>{"zoe:wrong", "zoe:s3cret"}));
    EXPECT_EQ(server.messages().size(), 1u);

    // The login that worked is used next time without asking.
    EXPECT_EQ(DeliverMessage(message, server.address(), context), CDeliveryResult::Sent);
    EXPECT_EQ(prompt->captions.size(), 2u);
    EXPECT_EQ(server.messages().size(), 2u);

    // Nobody answering the prompt is a failure, not a send.
    CAuthList empty;
    CDeliveryContext noLogin{transport, resolver, &empty};
    EXPECT_EQ(DeliverMessage(message, server.address(), noLogin), CDeliveryResult::Failed);
    EXPECT_EQ(server.messages().size(), 2u);
}

TEST_F(ForwardMailTest, CancelStopsASendToAStalledServer)
{
    ScriptedSmtpServer stalled(ScriptedSmtpServer::Stalled());
    std::atomic<bool> cancel{false};
    CSMTPConnection transport(&cancel);
    FakeResolver resolver;
    CDeliveryContext context{transport, resolver, nullptr, &cancel};
    std::thread canceller(
        [&]
        {
            while (stalled.connections() == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            cancel = true;
        });
    EXPECT_EQ(DeliverMessage(Message(Content(true, "")), stalled.address(), context),
              CDeliveryResult::Cancelled);
    canceller.join();
}

TEST_F(ForwardMailTest, AMailProgramReadsTheForwardedPage)
{
    if (!LocalSmtpServer::available())
        GTEST_SKIP() << "aiosmtpd is not installed";
    LocalSmtpServer server;
    CForwardContent content = Content(true, "http://example.test/a/b.html");
    content.title = "Café\r\nBcc: evil@attacker.test";
    CSMTPConnection transport;
    FakeResolver resolver;
    CDeliveryContext context{transport, resolver};
    ASSERT_EQ(DeliverMessage(Message(content), "127.0.0.1:" + std::to_string(server.port()), context),
              CDeliveryResult::Sent);
    ASSERT_TRUE(server.waitForMessages(1));
    auto messages = server.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].mailFrom, "zoe@example.test");
    EXPECT_EQ(messages[0].recipients, (std::vector<std::string>{"max@127.0.0.1"}));

    // Python's email package, not our reader, checks what arrived.
    TempDir work;
    std::string mail = work.write("message.eml", messages[0].data);
    std::string check = work.write("check.py", R"(import sys
from email import policy
from email.parser import BytesParser
msg = BytesParser(policy=policy.default).parse(open(sys.argv[1], "rb"))
sender = msg["From"].addresses[0]
assert (sender.display_name, sender.addr_spec) == ("Zoë Ünal", "zoe@example.test"), msg["From"]
assert msg["To"].addresses[0].addr_spec == "max@127.0.0.1", msg["To"]
assert str(msg["Subject"]) == "FWD: Café  Bcc: evil@attacker.test", msg["Subject"]
assert msg["Bcc"] is None
assert msg.get_content_type() == "multipart/mixed"
text, page = list(msg.iter_parts())
assert text.get_content().replace("\r\n", "\n").startswith("_" * 33 + "\nDo you podcast? Use Kestrova.    \n"), text.get_content()
assert (page.get_filename(), page.get_content_type(), page.get_content_charset()) == ("Kesrtova Feed Forward", "text/html", "utf-8")
body = page.get_payload(decode=True).decode("utf-8")
assert body == '<base href="http://example.test/a/">\r\n<html><head><title>Café</title></head><body>Größe</body></html>', body
)");
    EXPECT_EQ(RunProgram({"/usr/bin/python3", check, mail}, work.file("check.log")), 0)
        << ReadFileBytes(work.file("check.log"));
}
