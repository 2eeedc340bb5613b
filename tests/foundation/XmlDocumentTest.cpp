#include "foundation/uXml.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>

using testsupport::ReadFileBytes;
using testsupport::TempDir;

namespace
{

// One guard for the whole run, as the program holds one, so the library is
// not set up and torn down around every test.
class XmlEnvironment : public ::testing::Environment
{
public:
    void SetUp() override { m_guard = std::make_unique<uXmlPlatform>(); }
    void TearDown() override { m_guard.reset(); }

private:
    std::unique_ptr<uXmlPlatform> m_guard;
};

[[maybe_unused]] ::testing::Environment* const xmlEnvironment =
    ::testing::AddGlobalTestEnvironment(new XmlEnvironment);

std::string utf8(const XMLCh* text)
{
    uXmlString converted(text);
    return converted.getText() ? converted.getText() : "<null>";
}

bool loadFile(uXmlDocument& document, const std::string& path)
{
    return document.load(path.c_str(), true, true, false, true);
}

std::string withoutBlanks(std::string text)
{
    std::erase_if(text, [](char c) { return c == ' ' || c == '\n'; });
    return text;
}

// The first child element of a node, skipping the whitespace that pretty-printing adds.
xercesc::DOMElement* firstElement(xercesc::DOMNode* parent)
{
    for (xercesc::DOMNode* n = parent->getFirstChild(); n; n = n->getNextSibling())
        if (n->getNodeType() == xercesc::DOMNode::ELEMENT_NODE)
            return static_cast<xercesc::DOMElement*>(n);
    return nullptr;
}

TEST(XmlDocumentTest, RoundTripsUnderANonAsciiFolder)
{
    TempDir dir;
    std::string folder = dir.file("Nachrichten \xC3\xBC \xE6\x97\xA5\xE6\x9C\xAC");
    std::filesystem::create_directory(folder);
    std::string path = folder + "/config.xml";

    uXmlDocument created(u"Preference", nullptr, nullptr);
    ASSERT_NE(created.getDocument(), nullptr);
    xercesc::DOMElement* general = created.createElement(u"general");
    general->setAttribute(u"strName", uXmlString("Zo\xC3\xAB \xE2\x82\xAC \xF0\x9F\x98\x80").get());
    // A Base64 password keeps its line end.
    general->setAttribute(u"strPassword", u"c2VjcmV0==\r\n");
    general->appendChild(created.createTextNode(uXmlString("na\xC3\xAFve & <text>").get()));
    created.getDocumentElement()->appendChild(general);
    ASSERT_TRUE(created.save(path.c_str()));

    std::string bytes = ReadFileBytes(path);
    EXPECT_EQ(bytes.rfind("<?xml", 0), 0u) << "no byte-order mark, declaration first";
    EXPECT_NE(bytes.find("encoding=\"UTF-8\""), std::string::npos);
    EXPECT_NE(bytes.find("\n  <general"), std::string::npos) << "pretty-printed";

    uXmlDocument loaded;
    uString widePath(path.c_str());
    ASSERT_TRUE(loaded.load(widePath.getWide(), true, true, false, true));
    xercesc::DOMElement* element = firstElement(loaded.getDocumentElement());
    ASSERT_NE(element, nullptr);
    uXmlNode node(element);
    EXPECT_EQ(utf8(node.getAttribute(u"strName")), "Zo\xC3\xAB \xE2\x82\xAC \xF0\x9F\x98\x80");
    EXPECT_EQ(utf8(node.getAttribute(u"strPassword")), "c2VjcmV0==\r\n");
    EXPECT_EQ(utf8(node.getTextContent()), "na\xC3\xAFve & <text>");
}

TEST(XmlDocumentTest, KeepsTheEncodingOfALoadedDocument)
{
    TempDir dir;
    std::string path = dir.write("latin1.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                                               "<r a=\"caf\xE9\">\xE9t\xE9</r>\n");
    uXmlDocument document;
    ASSERT_TRUE(loadFile(document, path));
    EXPECT_EQ(utf8(document.getDocumentElement()->getTextContent()), "\xC3\xA9t\xC3\xA9");
    ASSERT_TRUE(document.save(path.c_str()));
    std::string bytes = ReadFileBytes(path);
    EXPECT_NE(bytes.find("ISO-8859-1"), std::string::npos);
    EXPECT_NE(bytes.find("caf\xE9"), std::string::npos);
    EXPECT_EQ(bytes.find("\xC3\xA9"), std::string::npos);
}

TEST(XmlDocumentTest, KeepsDoctypeEntitiesAndRootAttributes)
{
    TempDir dir;
    std::string path = dir.write("entity.xml", "<?xml version=\"1.0\"?>\n"
                                               "<!DOCTYPE r [<!ENTITY a \"Alpha\">]>\n"
                                               "<!-- before -->\n"
                                               "<r version=\"2\">A&a;B<c x=\"1\"/></r>\n");
    for (int round = 0; round < 2; ++round)
    {
        uXmlDocument document;
        // A declaration without element declarations is no reason for complaints.
        testing::internal::CaptureStderr();
        bool loaded = loadFile(document, path);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "round " << round;
        ASSERT_TRUE(loaded) << "round " << round;
        xercesc::DOMElement* root = document.getDocumentElement();
        ASSERT_NE(root, nullptr) << "round " << round;
        EXPECT_EQ(withoutBlanks(utf8(root->getTextContent())), "AAlphaB") << "round " << round;
        EXPECT_EQ(utf8(root->getAttribute(u"version")), "2") << "round " << round;
        // What a save writes must load again with the same content.
        ASSERT_TRUE(document.save(path.c_str()));
    }
    EXPECT_NE(ReadFileBytes(path).find("<!ENTITY a"), std::string::npos);
}

TEST(XmlDocumentTest, LoadingNeverReadsAnotherFile)
{
    TempDir dir;
    std::string secret = dir.write("secret.txt", "TOPSECRET");
    std::string path = dir.write("feed.xml", "<?xml version=\"1.0\"?>\n"
                                             "<!DOCTYPE r [<!ENTITY file SYSTEM \"file://" +
                                                 secret + "\">]>\n<r>[&file;]<item/></r>\n");
    uXmlDocument document;
    testing::internal::CaptureStderr();
    bool loaded = loadFile(document, path);
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(loaded) << errors;
    ASSERT_NE(document.getDocumentElement(), nullptr) << errors;
    EXPECT_EQ(utf8(document.getDocumentElement()->getTextContent()), "[]");
}

TEST(XmlDocumentTest, LoadingNeverConnectsAnywhere)
{
    TempDir dir;
    testsupport::LocalHttpServer server;
    server.serveContent("/evil.dtd", "<!ENTITY leak \"LEAKED\">", "application/xml-dtd");
    server.serveContent("/remote.txt", "REMOTE", "text/plain");
    std::string base = server.url("/");
    std::string path =
        dir.write("feed.xml", "<?xml version=\"1.0\"?>\n"
                              "<!DOCTYPE r SYSTEM \"" +
                                  base +
                                  "evil.dtd\" [\n"
                                  "  <!ENTITY remote SYSTEM \"" +
                                  base +
                                  "remote.txt\">\n"
                                  "  <!ENTITY % param SYSTEM \"" +
                                  base +
                                  "param.dtd\">\n"
                                  "  %param;\n"
                                  "]>\n"
                                  "<r xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\n"
                                  "   xsi:noNamespaceSchemaLocation=\"" +
                                  base + "schema.xsd\">[&remote;]<item/></r>\n");
    std::string withSchema = "<r xmlns=\"urn:k\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
                             " xsi:schemaLocation=\"urn:k " +
                             base + "k.xsd\"><item/></r>";

    uXmlDocument document;
    testing::internal::CaptureStderr();
    bool loaded = loadFile(document, path);
    bool schemaLoaded = document.loadXml(withSchema.c_str(), true, true, false, true);
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(server.connectionCount(), 0u);
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_TRUE(loaded) << errors;
    EXPECT_TRUE(schemaLoaded) << errors;
    EXPECT_NE(document.getDocumentElement(), nullptr) << errors;
}

TEST(XmlDocumentTest, EntityExpansionIsBounded)
{
    std::string bomb =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [\n<!ENTITY lol0 \"lollollollollollollollollol\">\n";
    for (int level = 1; level <= 9; ++level)
    {
        std::string previous = "&lol" + std::to_string(level - 1) + ";";
        std::string body;
        for (int i = 0; i < 10; ++i)
            body += previous;
        bomb += "<!ENTITY lol" + std::to_string(level) + " \"" + body + "\">\n";
    }
    bomb += "]>\n<lolz>&lol9;</lolz>\n";

    uXmlDocument document;
    document.loadXml(bomb.c_str(), true, true, false, true);
    std::string errors = document.getErrorText();
    EXPECT_NE(errors.find("Fatal Error"), std::string::npos) << errors;
    if (document.getDocumentElement())
    {
        EXPECT_LT(utf8(document.getDocumentElement()->getTextContent()).size(), 1000000u);
    }
}

TEST(XmlDocumentTest, ReportsParseErrorsAndDropsTheOldDocument)
{
    TempDir dir;
    uXmlDocument document;
    ASSERT_TRUE(document.loadXml("<ok/>", true, true, false, true));
    ASSERT_NE(document.getDocument(), nullptr);

    std::string broken = dir.write("broken.xml", "<r>\n  <a>text</r>\n");
    testing::internal::CaptureStderr();
    // The parser survives the error: the load counts as done, the tree is partial.
    EXPECT_TRUE(loadFile(document, broken));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "reports stay with the document";
    std::string errors = document.getErrorText();
    EXPECT_NE(errors.find("Fatal Error at file \"" + broken + "\", line 2, column "), std::string::npos)
        << errors;
    EXPECT_NE(errors.find("\n   Message: "), std::string::npos) << errors;

    ASSERT_TRUE(document.loadXml("<ok/>", true, true, false, true));
    EXPECT_STREQ(document.getErrorText(), "") << "each load starts a fresh report";
    EXPECT_FALSE(loadFile(document, dir.file("missing.xml")));
    EXPECT_NE(std::string(document.getErrorText()).find("cannot be read"), std::string::npos);
    EXPECT_EQ(document.getDocument(), nullptr);
}

TEST(XmlDocumentTest, FailedSavesReportFalseAndLeaveFilesAlone)
{
    TempDir dir;
    uXmlDocument document(u"download", nullptr, nullptr);
    std::string plain = dir.write("plain", "original");
    EXPECT_FALSE(document.save((plain + "/download.xml").c_str()));
    EXPECT_EQ(ReadFileBytes(plain), "original");

    uXmlDocument empty;
    std::string target = dir.write("download.xml", "<download/>\n");
    EXPECT_FALSE(empty.save(target.c_str()));

    // A write that falls short (here: the file-size limit) must not replace the target.
    std::string big(200000, 'x');
    document.getDocumentElement()->appendChild(document.createTextNode(uXmlString(big.c_str()).get()));
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = previous;
    limited.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    bool saved = document.save(target.c_str());
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadFileBytes(target), "<download/>\n");
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 2u) << "no temporary file left behind";

    // Without the limit the same save goes through, with the requested mode.
    ASSERT_TRUE(document.save(target.c_str(), 0600));
    EXPECT_NE(ReadFileBytes(target).find(big), std::string::npos);
    struct stat info
    {
    };
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(XmlDocumentTest, WrappersReportMissingNodesAndBadEditsInsteadOfCrashing)
{
    uXmlDocument document;
    ASSERT_TRUE(document.loadXml("<r><leaf a=\"1\"/>text</r>", true, true, false, true));
    uXmlNode root(document.getDocumentElement());

    uXmlNode* leaf = nullptr;
    ASSERT_EQ(root.getFirstChild(leaf), 0);
    std::unique_ptr<uXmlNode> leafOwner(leaf);
    EXPECT_EQ(utf8(leaf->getAttribute(u"a")), "1");
    uXmlNode placeholder;
    uXmlNode* none = &placeholder;
    EXPECT_EQ(leaf->getFirstChild(none), 1);
    EXPECT_EQ(none, nullptr);

    uXmlNode* text = nullptr;
    ASSERT_EQ(leaf->getNextSibling(text), 0);
    std::unique_ptr<uXmlNode> textOwner(text);
    EXPECT_EQ(text->getAttribute(u"a"), nullptr) << "a text node has no attributes";

    uXmlNode empty;
    EXPECT_EQ(empty.getNodeTypeIndex(), 0xFFFF);
    EXPECT_EQ(empty.getTextContent(), nullptr);
    EXPECT_EQ(empty.appendChild(new uXmlNode(document.createElement(u"x"))), 1);
    EXPECT_EQ(uXmlString(static_cast<const char*>(nullptr)).get(), nullptr);

    // Edits consume the wrappers they are given.
    uXmlNode* replaced = nullptr;
    EXPECT_EQ(
        root.replaceChild(new uXmlNode(document.createElement(u"added")), textOwner.release(), replaced), 0);
    ASSERT_NE(replaced, nullptr);
    EXPECT_EQ(utf8(replaced->getTextContent()), "text");
    replaced->release();

    // A bad edit is reported, not thrown: a node cannot contain its parent.
    uXmlNode child(document.getElementsByTagName(u"added")->item(0));
    testing::internal::CaptureStderr();
    EXPECT_EQ(child.appendChild(new uXmlNode(document.getDocumentElement())), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "DOMException code is:  3\n");
}

TEST(XmlDocumentTest, ACopiedWrapperHoldsItsOwnCloneUntilATreeTakesIt)
{
    uXmlDocument document;
    ASSERT_TRUE(document.loadXml("<r><item a=\"1\"><t>x</t></item></r>", true, true, false, true));
    xercesc::DOMNode* item = document.getDocumentElement()->getFirstChild();
    const uXmlNode original(item);

    uXmlNode copy(original);
    xercesc::DOMNode* clone = uXmlNode::getDomNode(&copy);
    ASSERT_NE(clone, nullptr);
    EXPECT_NE(clone, item);
    EXPECT_EQ(clone->getOwnerDocument(), document.getDocument());
    EXPECT_EQ(clone->getParentNode(), nullptr) << "outside the tree";
    EXPECT_EQ(utf8(copy.getAttribute(u"a")), "1");
    EXPECT_EQ(utf8(copy.getTextContent()), "x") << "a deep clone";
    static_cast<xercesc::DOMElement*>(clone)->setAttribute(u"a", u"2");
    EXPECT_EQ(utf8(original.getAttribute(u"a")), "1");

    // Clones that went into the tree stay there when their copies go.
    uXmlNode root(document.getDocumentElement());
    {
        uXmlNode appendedRaw(original);
        ASSERT_NE(root.appendChild(uXmlNode::getDomNode(&appendedRaw)), nullptr);
    }
    EXPECT_EQ(root.appendChild(new uXmlNode(original)), 0);
    xercesc::DOMNodeList* items = document.getElementsByTagName(u"item");
    ASSERT_EQ(items->getLength(), 3u);
    for (XMLSize_t i = 0; i < 3; ++i)
        EXPECT_EQ(utf8(items->item(i)->getTextContent()), "x") << i;

    const uXmlNode none;
    const uXmlNode copyOfNone(none);
    EXPECT_EQ(uXmlNode::getDomNode(&copyOfNone), nullptr);
}

// Feeds use HTML entity names without declaring them; the repair knows all of
// HTML 4.01 and the common HTML5 ones, with their case as written.
TEST(XmlDocumentTest, TheRepairKnowsEveryHtmlEntityName)
{
    TempDir dir;
    const std::string path = dir.write(
        "feed.xml",
        "<r><a>&rsquo;&mdash;&hellip;&euro;&trade;&Alpha;&alpha;&lang;&loz;&zwj;&Yuml;&yuml;&ETH;&eth;</a>"
        "<b>&check;&half;&NBSP;&amp;</b><![CDATA[&rsquo;]]></r>");
    uXmlDocument document;
    ASSERT_TRUE(document.loadRepaired(path.c_str())) << document.getErrorText();
    xercesc::DOMElement* root = document.getDocumentElement();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(utf8(root->getFirstChild()->getTextContent()),
              "\u2019\u2014\u2026\u20ac\u2122\u0391\u03b1\u27e8\u25ca\u200d\u0178\u00ff\u00d0\u00f0");
    EXPECT_EQ(utf8(root->getFirstChild()->getNextSibling()->getTextContent()), "\u2713\u00bd\u00a0&");
    EXPECT_EQ(utf8(root->getLastChild()->getNodeValue()), "&rsquo;") << "CDATA is text";

    // Names HTML does not have, or spelt in the wrong case, leave the document broken.
    for (const char* unknown : {"&bogus;", "&ALPHA;", "&Rsquo;"})
    {
        const std::string broken = dir.write("broken.xml", std::string("<r>x") + unknown + "</r>");
        EXPECT_FALSE(document.loadRepaired(broken.c_str())) << unknown;
        EXPECT_EQ(document.getDocumentElement(), nullptr) << unknown;
    }
}

} // namespace
