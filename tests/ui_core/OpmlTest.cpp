#include "dialogs/Opml.h"

#include "foundation/uXml.h"
#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace
{
opml::Feed MakeFeed(const char* title, const char* url, const char* description = "")
{
    return {uString(title), uString(description), uString(url), uString()};
}

opml::Node MakeNode(uint16_t kind, const char* label, std::vector<opml::Feed> feeds = {},
                    std::vector<opml::Node> children = {})
{
    opml::Node node;
    node.kind = kind;
    node.label = label;
    node.hasDatabase = kind == 3;
    node.feeds = std::move(feeds);
    node.children = std::move(children);
    return node;
}

void ExpectSameFeeds(const std::vector<opml::Feed>& expected, const std::vector<opml::Row>& actual)
{
    ASSERT_EQ(expected.size(), actual.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
    {
        EXPECT_STREQ(expected[i].title.c_str(), actual[i].title.c_str());
        EXPECT_STREQ(expected[i].url.c_str(), actual[i].link.c_str());
        EXPECT_STREQ(expected[i].description.c_str(), actual[i].description.c_str());
    }
}

// The nesting of the outlines under a node as "text[child,child]".
std::string Shape(const xercesc::DOMNode* node)
{
    std::string shape;
    for (const xercesc::DOMNode* child = node->getFirstChild(); child != nullptr;
         child = child->getNextSibling())
    {
        if (child->getNodeType() != xercesc::DOMNode::ELEMENT_NODE)
            continue;
        if (xercesc::XMLString::equals(child->getNodeName(), u"outline"))
        {
            const auto* element = static_cast<const xercesc::DOMElement*>(child);
            std::string inner = Shape(child);
            shape += (shape.empty() ? "" : ",") +
                     std::string(uString(element->getAttribute(u"text")).c_str()) +
                     (inner.empty() ? "" : "[" + inner + "]");
        }
        else
            shape += Shape(child);
    }
    return shape;
}

class OpmlTest : public testing::Test
{
protected:
    opml::Document Read(const std::string& text)
    {
        return opml::ReadFile(m_dir.write("in.opml", text).c_str());
    }
    std::string Written() const { return testsupport::ReadFileBytes(m_dir.file("out.opml")); }
    std::string Out() const { return m_dir.file("out.opml"); }

    testsupport::TempDir m_dir;
};

TEST_F(OpmlTest, BranchRoundTripKeepsFoldersTitlesAndAddresses)
{
    opml::Node tree = MakeNode(
        0, "News & \"Views\"", {},
        {MakeNode(3, "Tech & Science",
                  {MakeFeed("Q&A <daily>", "http://127.0.0.1:1/a.xml?x=1&y=2", "Café «Zürich» — 日本"),
                   MakeFeed("It's \"quoted\"", "http://127.0.0.1:1/b.xml")}),
         MakeNode(1, "Podcasts", {},
                  {MakeNode(3, "Audio", {MakeFeed("Ünïcödé", "http://127.0.0.1:1/c.xml")}),
                   MakeNode(2, "A watch"), MakeNode(4, "A loose feed")}),
         // A list without a database writes nothing.
         []
         {
             opml::Node list = MakeNode(3, "No file", {MakeFeed("Lost", "http://127.0.0.1:1/lost.xml")});
             list.hasDatabase = false;
             return list;
         }()});
    ASSERT_TRUE(opml::WriteBranch(&tree, uString("News & \"Views\""), Out().c_str()));
    EXPECT_EQ(Written().find("Lost"), std::string::npos);

    opml::Document read = opml::ReadFile(Out().c_str());
    ASSERT_EQ(read.error, 0);
    EXPECT_STREQ(read.headTitle.c_str(), "News & \"Views\"");
    ExpectSameFeeds(
        {tree.children[0].feeds[0], tree.children[0].feeds[1], tree.children[1].children[0].feeds[0]},
        read.rows);
    // Channels, folders and lists are grouping outlines around their feeds;
    // watches, loose feeds and lists without a database are left out.
    uXmlDocument written;
    ASSERT_TRUE(written.load(Out().c_str(), false, false, false, false));
    EXPECT_EQ(Shape(written.getDocumentElement()), "News & \"Views\"[Tech & Science[Q&A <daily>,It's "
                                                   "\"quoted\"],Podcasts[Audio[Ünïcödé]]]");
}

TEST_F(OpmlTest, ListExportReadsBackWithoutEmptyDescriptions)
{
    std::vector<opml::Feed> feeds = {MakeFeed("First", "http://127.0.0.1:1/1", "About & more"),
                                     MakeFeed("Second", "http://127.0.0.1:1/2")};
    ASSERT_TRUE(opml::WriteList(uString("My Feeds"), feeds, Out().c_str()));
    std::string text = Written();
    EXPECT_EQ(text.find("description", text.find("Second")), std::string::npos) << text;
    EXPECT_NE(text.find("standalone=\"yes\""), std::string::npos) << text;

    // The root carries no attributes: newsboat, the peer we test against, reads it so.
    EXPECT_NE(text.find("<opml>"), std::string::npos) << text;

    ExpectSameFeeds(feeds, opml::ReadFile(Out().c_str()).rows);
}

TEST_F(OpmlTest, CharactersXmlCannotHoldAreDroppedNotFatal)
{
    std::vector<opml::Feed> feeds = {MakeFeed("Bad\x0b title\x01", "http://127.0.0.1:1/1")};
    feeds[0].description = uString("broken \xff\xfe utf-8");
    ASSERT_TRUE(opml::WriteList(uString("L"), feeds, Out().c_str()));
    opml::Document read = opml::ReadFile(Out().c_str());
    ASSERT_EQ(read.rows.size(), 1u);
    EXPECT_STREQ(read.rows[0].title.c_str(), "Bad title");
    EXPECT_STREQ(read.rows[0].description.c_str(), "broken  utf-8");
}

TEST_F(OpmlTest, ReadsTheShapesOtherReadersWrite)
{
    // Flat, as a console reader exports it.
    opml::Document flat = Read(R"(<?xml version="1.0"?>
<opml version="1.0"><head><title>newsboat - Exported Feeds</title></head><body>
<outline type="rss" xmlUrl="http://127.0.0.1:1/one" htmlUrl="http://127.0.0.1:1/" title="One"/>
<outline type="rss" xmlUrl="http://127.0.0.1:1/two" text="Two only text"/>
</body></opml>)");
    ASSERT_EQ(flat.rows.size(), 2u);
    EXPECT_STREQ(flat.rows[0].page.c_str(), "http://127.0.0.1:1/");
    EXPECT_STREQ(flat.rows[1].title.c_str(), "Two only text");

    // Folders with only a title, nested, a feed without a type, links,
    // atom outlines whose children still count, and odd spellings.
    opml::Document nested = Read(R"(<opml version="2.0"><head><title>First</title>
<outline type="rss" text="In head" xmlUrl="http://127.0.0.1:1/head"/><title>  Last
</title></head><body>
<outline title="Tech">
  <outline title="Deep"><outline text="No type" xmlUrl="http://127.0.0.1:1/notype"/></outline>
  <outline type="RSS" title="Caps" url="http://127.0.0.1:1/url-only"/>
  <outline type="rss" title="Both" xmlUrl="http://127.0.0.1:1/xml" url="http://127.0.0.1:1/ignored"/>
</outline>
<outline type="link" url="http://127.0.0.1:1/page"/>
<outline type="atom" text="Atom">
  <outline type="rss" text="Under atom" xmlUrl="http://127.0.0.1:1/under"/></outline>
<outline type="rss" xmlUrl="http://127.0.0.1:1/untitled"/>
<outline type="rss" text="Lower" xmlurl="http://127.0.0.1:1/lower"/>
<outline type="rss" text="Tom &amp;amp; Jerry" xmlUrl="http://127.0.0.1:1/tj"/>
<outline><outline type="rss" text="Unnamed group" xmlUrl="http://127.0.0.1:1/adopted"/></outline>
</body></opml>)");
    ASSERT_EQ(nested.error, 0);
    EXPECT_STREQ(nested.headTitle.c_str(), "Last");
    std::vector<std::string> links;
    for (const opml::Row& row : nested.rows)
        links.push_back(row.link.c_str());
    EXPECT_EQ(links, (std::vector<std::string>{"http://127.0.0.1:1/notype", "http://127.0.0.1:1/url-only",
                                               "http://127.0.0.1:1/xml", "http://127.0.0.1:1/page",
                                               "http://127.0.0.1:1/under", "http://127.0.0.1:1/untitled",
                                               "http://127.0.0.1:1/tj", "http://127.0.0.1:1/adopted"}));
    EXPECT_STREQ(nested.rows[3].title.c_str(), "");
    // Untitled feeds stay untitled: their first fetch names them.
    EXPECT_STREQ(nested.rows[5].title.c_str(), "");
    EXPECT_STREQ(nested.rows[6].title.c_str(), "Tom & Jerry");
}

TEST_F(OpmlTest, HostileAndBrokenFilesAreRefusedWithAReason)
{
    const std::string feeds = R"(<body><outline type="rss" text="x" xmlUrl="http://127.0.0.1:1/x"/></body>)";
    struct Case
    {
        const char* name;
        std::string text;
        int error;
    } cases[] = {
        {"entities",
         R"(<?xml version="1.0"?><!DOCTYPE opml [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;">]>
<opml><head><title>&b;</title></head>)" +
             feeds + "</opml>",
         opml::kLoadFailed},
        {"external DTD",
         R"(<?xml version="1.0"?><!DOCTYPE opml SYSTEM "http://127.0.0.1:1/evil.dtd"><opml>)" + feeds +
             "</opml>",
         opml::kLoadFailed},
        {"external entity",
         R"(<?xml version="1.0"?><!DOCTYPE opml [<!ENTITY e SYSTEM "file:///etc/passwd">]>
<opml><head><title>&e;</title></head>)" +
             feeds + "</opml>",
         opml::kLoadFailed},
        {"truncated", "<opml><head><title>t</title></head>" + feeds.substr(0, feeds.size() - 10),
         opml::kLoadFailed},
        {"not XML", std::string("\x89PNG\r\n\x1a\n\0\0", 10), opml::kLoadFailed},
        {"an RSS feed", "<rss version=\"2.0\"><channel><title>t</title></channel></rss>", opml::kNotOpml},
    };
    for (const Case& entry : cases)
    {
        opml::Document read = Read(entry.text);
        EXPECT_EQ(read.error, entry.error) << entry.name;
        EXPECT_TRUE(read.rows.empty()) << entry.name;
        if (entry.error == opml::kLoadFailed)
        {
            EXPECT_FALSE(read.reason.isEmpty()) << entry.name;
        }
    }

    // The reader's limits say which one the file broke.
    std::string laughs =
        R"(<?xml version="1.0"?><!DOCTYPE opml [<!ENTITY a "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa">)";
    std::string previous = "a";
    for (char name = 'b'; name <= 'h'; ++name)
    {
        laughs += std::string("<!ENTITY ") + name + " \"";
        for (int i = 0; i < 10; ++i)
            laughs += "&" + previous + ";";
        laughs += "\">";
        previous = std::string(1, name);
    }
    laughs += "]><opml><head><title>&h;</title></head>" + feeds + "</opml>";
    std::string deep = "<opml><body>";
    for (int level = 0; level < 1001; ++level)
        deep += "<outline text=\"g\">";
    const std::pair<std::string, const char*> limits[] = {{laughs, "entity declarations are refused"},
                                                          {deep, "too deeply nested"}};
    for (const auto& [text, reason] : limits)
    {
        opml::Document read = Read(text);
        EXPECT_EQ(read.error, opml::kLoadFailed) << reason;
        EXPECT_NE(std::string(read.reason.c_str()).find(reason), std::string::npos) << read.reason.c_str();
    }

    // 50 MB is refused before a byte is parsed.
    std::string big = m_dir.write("big.opml", "<opml><body>");
    std::filesystem::resize_file(big, 50u * 1024 * 1024);
    opml::Document read = opml::ReadFile(big.c_str());
    EXPECT_EQ(read.error, opml::kLoadFailed);
    EXPECT_NE(std::string(read.reason.c_str()).find("32 MB"), std::string::npos);
    EXPECT_EQ(opml::ReadFile(m_dir.file("missing.opml").c_str()).error, opml::kLoadFailed);
}
} // namespace

namespace
{
TEST(OpmlEntitiesTest, ATextOfManyAmpersandsDecodesInOnePass)
{
    // Each "&" used to look for its ";" through the whole rest of the text.
    std::string text;
    for (int i = 0; i < (2 << 20); ++i)
        text += "&a";
    std::string expected = text + "&<";
    text += "&amp;&lt;";
    uString decoded = opml::DecodeEntitiesOnce(uString(text.c_str()));
    EXPECT_EQ(std::string(decoded.c_str()), expected);
    // A reference stops at the first character a name cannot hold.
    EXPECT_STREQ(opml::DecodeEntitiesOnce(uString("&amp x; &#0000065; &#x;")).c_str(), "&amp x; A &#x;");
}
} // namespace
