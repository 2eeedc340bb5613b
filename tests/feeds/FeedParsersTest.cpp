#include "feeds/FeedStore.h"
#include "foundation/uXml.h"

#include <functional>
#include <gtest/gtest.h>
#include <pthread.h>
#include <string>

namespace
{

std::string DataFile(const char* name)
{
    return std::string(KESTROVA_FEED_TEST_DATA) + "/" + name;
}

// Every non-empty field of the parsed channel and its items.
std::string Dump(const CFeedStore& store)
{
    using C = CChannelRecord;
    using I = CItemRecord;
    // clang-format off
    static const std::pair<const char*, uString C::*> channelFields[] = {
        {"copyright", &C::copyright}, {"description", &C::description}, {"generator", &C::generator},
        {"category", &C::category}, {"language", &C::language}, {"lastBuildDate", &C::lastBuildDate},
        {"link", &C::link}, {"title", &C::title}, {"ttl", &C::ttl}, {"webMaster", &C::webMaster},
        {"managingEditor", &C::managingEditor}, {"imageLink", &C::imageLink},
        {"imageDescription", &C::imageDescription}, {"imageHeight", &C::imageHeight},
        {"imageWidth", &C::imageWidth}, {"imageTitle", &C::imageTitle}, {"imageUrl", &C::imageUrl},
        {"iconLink", &C::iconLink}};
    static const std::pair<const char*, uString I::*> itemFields[] = {
        {"author", &I::author}, {"category", &I::category}, {"description", &I::description},
        {"link", &I::link}, {"pubDate", &I::pubDate}, {"subject", &I::subject}, {"title", &I::title},
        {"content", &I::content}, {"enclosureLink", &I::enclosureLink},
        {"enclosureLength", &I::enclosureLength}, {"enclosureType", &I::enclosureType}, {"guid", &I::guid}};
    // clang-format on
    // One line per record: the channel, then each item.
    std::string out;
    auto line = [&out](const char* name, const uString& value)
    {
        if (!value.isEmpty())
            out += (out.empty() || out.back() == '\n' ? "" : "; ") + std::string(name) + "=" + value.c_str();
    };
    for (const auto& [name, field] : channelFields)
        line(name, store.channel.*field);
    for (const CItemRecord& item : store.items)
    {
        out += "\n";
        for (const auto& [name, field] : itemFields)
            line(name, item.*field);
    }
    return out;
}

using Reader = void (CFeedStore::*)(uXmlNode*);
const Reader kRss = &CFeedStore::ParseRssFeed;

// Loads the document and runs the reader of its format, as the fetch does.
std::string Parse(CFeedStore& store, const char* name, Reader reader)
{
    uXmlDocument document;
    document.load(DataFile(name).c_str(), true, false, false, false);
    if (!document.getDocumentElement())
        return "<no document>";
    (store.*reader)(new uXmlNode(document.getDocumentElement()));
    EXPECT_EQ(store.parseDepth, 0) << "the depth counter must be back at 0 after a parse";
    return Dump(store);
}

std::string Parse(const char* name, Reader reader)
{
    CFeedStore store("/nonexistent");
    return Parse(store, name, reader);
}

TEST(FeedParsersTest, Rss091ChannelImageAndItemsFromALatin1Document)
{
    const std::string dump = Parse("rss091.xml", kRss);
    for (const char* field :
         {"description=Café news in Latin-1: café;", "managingEditor=ed@old.example.test;",
          "imageUrl=http://old.example.test/logo.gif", "imageWidth=88;", "title=Second é"})
        EXPECT_NE(dump.find(field), std::string::npos) << field << " in\n" << dump;
}

TEST(FeedParsersTest, Rss20LastChannelTitleWinsAndItemsFallBack)
{
    // The channel's second title wins and no item title reaches it; an item
    // without link takes its enclosure, then its guid; an item without title
    // takes its subject, then "Untitled"; a missing enclosure type is guessed.
    EXPECT_EQ(Parse("rss20.xml", kRss),
              "description=<b>Weekly</b> casts; generator=hand; category=Audio; lastBuildDate=Tue, 10 Jun "
              "2003 09:41:01 GMT; link=http://casts.example.test/show/; title=Casts & Things; ttl=60\n"
              "author=host@casts.example.test; category=Talk; description=First <i>episode</i>; "
              "link=http://casts.example.test/show/1; pubDate=2003-06-10 04:00:00; title=Episode 1; "
              "enclosureLink=http://casts.example.test/media/ep1.mp3; enclosureLength=1234; "
              "enclosureType=audio/mpeg\n"
              "link=http://casts.example.test/media/ep2.MP3; pubDate=2003-06-10 ; title=Episode 2; "
              "enclosureLink=http://casts.example.test/media/ep2.MP3; enclosureLength=2048; "
              "enclosureType=audio/mpeg\n"
              "link=urn:casts:3; pubDate=2003-06-10 ; subject=Guid only; title=Guid only; guid=urn:casts:3\n"
              "description=nothing else; pubDate=2003-06-10 04:00:00; title=Untitled");
}

TEST(FeedParsersTest, RdfKeepsTheChannelTitleAndLetsItemFieldsOverwriteTheRest)
{
    CFeedStore store("/nonexistent");
    store.channel.title = "left over";
    store.channel.link = "http://left.over/";
    // The channel's own title, link and description come first and stay; the
    // items' creator and date overwrite the channel's, which have no depth
    // condition. RDF items carry no date and no enclosure.
    EXPECT_EQ(
        Parse(store, "rdf.xml", &CFeedStore::ParseRdfFeed),
        "copyright=Copyleft; description=About RDF; lastBuildDate=2003-06-10T04:00:00Z; "
        "link=http://rdf.example.test/; title=RDF Channel; webMaster=Publisher; managingEditor=Alice; "
        "imageLink=http://rdf.example.test/; imageTitle=RDF logo; imageUrl=http://rdf.example.test/logo.png\n"
        "author=Alice; description=Text A; link=http://rdf.example.test/a; subject=Topic A; title=Item A\n"
        "description=Text B; link=http://rdf.example.test/b; title=Item B");
}

TEST(FeedParsersTest, AtomTitleSubtitleLinksByRelAndContentOnlyEntries)
{
    // The first feed link wins whatever its rel; entries' summaries and
    // authors overwrite the feed's. An entry link without rel is the
    // alternate one, "ALTERNATE" matches in any case, another rel is ignored;
    // without a summary the content is the description.
    EXPECT_EQ(Parse("atom.xml", &CFeedStore::ParseAtomFeed),
              "copyright=Copyright 2005; description=Summary two; generator=Gen; "
              "lastBuildDate=2005-07-31T12:29:29Z; link=http://atom.example.test/feed.xml; title=Atom Feed - "
              "with a subtitle; managingEditor=Ann; imageLink=http://atom.example.test/logo.png; "
              "iconLink=http://atom.example.test/icon.png\n"
              "author=Ann; category=news; description=Summary one; link=http://atom.example.test/1; "
              "pubDate=2003-12-13T18:30:02Z; title=Entry One; enclosureLink=http://atom.example.test/1.mp4; "
              "enclosureLength=999; enclosureType=video/mpeg\n"
              "description=Summary two; link=http://atom.example.test/2; title=Entry <b>Two</b>; "
              "content=Only content two\n"
              "description=Content three; title=Entry Three; content=Content three");
}

TEST(FeedParsersTest, BrokenAndDeepDocumentsParseWhatTheyHold)
{
    // A document that breaks off keeps what came before the fault.
    const std::string broken = Parse("broken.xml", kRss);
    EXPECT_NE(broken.find("link=http://broken.example.test/1"), std::string::npos) << broken;

    // Deep nesting, walked on a thread whose stack is far too small for a
    // recursive walk of that depth. The loader refuses such depth, so the
    // tree is deepened in place.
    const int depth = 20000;
    uXmlDocument document;
    ASSERT_TRUE(document.loadXml("<rss><channel><title>Deep</title><x/><item><title>found</title>"
                                 "<link>http://deep.test/</link></item></channel></rss>",
                                 true, false, false, false));
    ASSERT_NE(document.getDocumentElement(), nullptr);
    xercesc::DOMNode* inner = document.getElementsByTagName(u"x")->item(0);
    for (int i = 1; i < depth; ++i)
        inner = inner->appendChild(document.createElement(u"x"));
    xercesc::DOMElement* lost = document.createElement(u"item");
    lost->appendChild(document.createElement(u"title"))->appendChild(document.createTextNode(u"lost"));
    inner->appendChild(lost);
    CFeedStore store("/nonexistent");
    uXmlNode* root = new uXmlNode(document.getDocumentElement());
    std::function<void()> parse = [&] { store.ParseRssFeed(root); };
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 256 * 1024);
    pthread_t thread;
    auto run = [](void* work) -> void*
    {
        (*static_cast<std::function<void()>*>(work))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, run, &parse), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
    EXPECT_EQ(store.parseDepth, 0);
    EXPECT_STREQ(store.channel.title.c_str(), "Deep");
    ASSERT_EQ(store.items.size(), 1u) << "only an item at depth 3 counts";
    EXPECT_STREQ(store.items[0].title.c_str(), "found");
}

TEST(FeedParsersTest, NormalizeDateReadsCommonFormsAndRefusesTheRest)
{
    const struct
    {
        const char* text;
        const char* expected;
    } cases[] = {{"Tue, 10 Jun 2003 04:00:00 GMT", "2003-06-10 04:00:00"},
                 {"Tue, 10 Jun 2003 04:00:00 -0700", "2003-06-10 04:00:00"},
                 {" tue, 10 jun 2003 04:00:00 pdt\r\n", "2003-06-10 04:00:00"},
                 {"10 JUN 2003", "2003-06-10 "},
                 {"6/10/2003", "2003-06-10 "},
                 {"Sunday, 10-Jun-2003 04:00:00 GMT", "2003-06-10 04:00:00"},
                 {"10 Sept 2003 CEST", "2003-09-10 "},
                 {"July 4, 1999 12:00", "1999-07-04 12:00"},
                 {"Tue, 10 Jun 2003 04:00:00 +01:00", "2003-06-10 04:00:00"}, // the offset keeps the time
                 // Not readable: the text upper-cased and trimmed, never a wrong date.
                 {"2003-06-10T04:00:00Z", "2003-06-10T04:00:00Z"}, // the third token is taken as the time
                 {"10 Jun 99", "10 JUN 99"},                       // a two-digit year: no part is a year
                 {"2003-00-10", "2003-00-10"},
                 {" 32 jun 2003\t", "32 JUN 2003"},
                 {"Mon Mon Mon Mon 10 Jun 2003", "MON MON MON MON 10 JUN 2003"}, // 7th token not looked at
                 {"tomorrow", "TOMORROW"},
                 {"99999999999999999999 Jun 10", "99999999999999999999 JUN 10"}};
    for (const auto& c : cases)
        EXPECT_STREQ(CFeedStore::NormalizeDate(c.text).c_str(), c.expected) << "date: " << c.text;
}

} // namespace
