#include "feeds/FeedStore.h"
#include "foundation/uXml.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <string>

namespace
{

std::string DataFile(const char* name)
{
    std::string path = __FILE__;
    return path.substr(0, path.rfind('/')) + "/data/" + name;
}

// Every non-empty field of the parsed channel and its items, one per line.
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
        {" author", &I::author}, {" category", &I::category}, {" description", &I::description},
        {" link", &I::link}, {" pubDate", &I::pubDate}, {" subject", &I::subject}, {" title", &I::title},
        {" content", &I::content}, {" enclosureLink", &I::enclosureLink},
        {" enclosureLength", &I::enclosureLength}, {" enclosureType", &I::enclosureType}, {" guid", &I::guid}};
    // clang-format on
    std::string out;
    auto line = [&out](const char* name, const uString& value)
    {
        if (!value.isEmpty())
            out += std::string(name) + "=" + value.c_str() + "\n";
    };
    for (const auto& [name, field] : channelFields)
        line(name, store.channel.*field);
    for (const CItemRecord& item : store.items)
    {
        out += "--\n";
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
    for (const char* line :
         {"description=Café news in Latin-1: café\n", "managingEditor=ed@old.example.test\n",
          "imageUrl=http://old.example.test/logo.gif\n", "imageWidth=88\n", " title=Second é\n"})
        EXPECT_NE(dump.find(line), std::string::npos) << line << "in\n" << dump;
}

TEST(FeedParsersTest, Rss20LastChannelTitleWinsAndItemsFallBack)
{
    // The channel's second title wins and no item title reaches it; an item
    // without link takes its enclosure, then its guid; an item without title
    // takes its subject, then "Untitled"; a missing enclosure type is guessed.
    EXPECT_EQ(Parse("rss20.xml", kRss), "description=<b>Weekly</b> casts\n"
                                        "generator=hand\n"
                                        "category=Audio\n"
                                        "lastBuildDate=Tue, 10 Jun 2003 09:41:01 GMT\n"
                                        "link=http://casts.example.test/show/\n"
                                        "title=Casts & Things\n"
                                        "ttl=60\n"
                                        "--\n"
                                        " author=host@casts.example.test\n"
                                        " category=Talk\n"
                                        " description=First <i>episode</i>\n"
                                        " link=http://casts.example.test/show/1\n"
                                        " pubDate=2003-06-10 04:00:00\n"
                                        " title=Episode 1\n"
                                        " enclosureLink=http://casts.example.test/media/ep1.mp3\n"
                                        " enclosureLength=1234\n"
                                        " enclosureType=audio/mpeg\n"
                                        "--\n"
                                        " link=http://casts.example.test/media/ep2.MP3\n"
                                        " pubDate=2003-06-10 \n"
                                        " title=Episode 2\n"
                                        " enclosureLink=http://casts.example.test/media/ep2.MP3\n"
                                        " enclosureLength=2048\n"
                                        " enclosureType=audio/mpeg\n"
                                        "--\n"
                                        " link=urn:casts:3\n"
                                        " pubDate=2003-06-10 \n"
                                        " subject=Guid only\n"
                                        " title=Guid only\n"
                                        " guid=urn:casts:3\n"
                                        "--\n"
                                        " description=nothing else\n"
                                        " pubDate=2003-06-10 04:00:00\n"
                                        " title=Untitled\n");
}

TEST(FeedParsersTest, RdfKeepsTheChannelTitleAndLetsItemFieldsOverwriteTheRest)
{
    CFeedStore store("/nonexistent");
    store.channel.title = "left over";
    store.channel.link = "http://left.over/";
    // The channel's own title, link and description come first and stay; the
    // items' creator and date overwrite the channel's, which have no depth
    // condition. RDF items carry no date and no enclosure.
    EXPECT_EQ(Parse(store, "rdf.xml", &CFeedStore::ParseRdfFeed),
              "copyright=Copyleft\n"
              "description=About RDF\n"
              "lastBuildDate=2003-06-10T04:00:00Z\n"
              "link=http://rdf.example.test/\n"
              "title=RDF Channel\n"
              "webMaster=Publisher\n"
              "managingEditor=Alice\n"
              "imageLink=http://rdf.example.test/\n"
              "imageTitle=RDF logo\n"
              "imageUrl=http://rdf.example.test/logo.png\n"
              "--\n"
              " author=Alice\n"
              " description=Text A\n"
              " link=http://rdf.example.test/a\n"
              " subject=Topic A\n"
              " title=Item A\n"
              "--\n"
              " description=Text B\n"
              " link=http://rdf.example.test/b\n"
              " title=Item B\n");
}

TEST(FeedParsersTest, AtomTitleSubtitleLinksByRelAndContentOnlyEntries)
{
    // The first feed link wins whatever its rel; entries' summaries and
    // authors overwrite the feed's. An entry link without rel is the
    // alternate one, "ALTERNATE" matches in any case, another rel is ignored;
    // without a summary the content is the description.
    EXPECT_EQ(Parse("atom.xml", &CFeedStore::ParseAtomFeed), "copyright=Copyright 2005\n"
                                                             "description=Summary two\n"
                                                             "generator=Gen\n"
                                                             "lastBuildDate=2005-07-31T12:29:29Z\n"
                                                             "link=http://atom.example.test/feed.xml\n"
                                                             "title=Atom Feed - with a subtitle\n"
                                                             "managingEditor=Ann\n"
                                                             "imageLink=http://atom.example.test/logo.png\n"
                                                             "iconLink=http://atom.example.test/icon.png\n"
                                                             "--\n"
                                                             " author=Ann\n"
                                                             " category=news\n"
                                                             " description=Summary one\n"
                                                             " link=http://atom.example.test/1\n"
                                                             " pubDate=2003-12-13T18:30:02Z\n"
                                                             " title=Entry One\n"
                                                             " enclosureLink=http://atom.example.test/1.mp4\n"
                                                             " enclosureLength=999\n"
                                                             " enclosureType=video/mpeg\n"
                                                             "--\n"
                                                             " description=Summary two\n"
                                                             " link=http://atom.example.test/2\n"
                                                             " title=Entry <b>Two</b>\n"
                                                             " content=Only content two\n"
                                                             "--\n"
                                                             " description=Content three\n"
                                                             " title=Entry Three\n"
                                                             " content=Content three\n");
}

TEST(FeedParsersTest, BrokenAndDeepDocumentsParseWhatTheyHold)
{
    // A document that breaks off keeps what came before the fault.
    const std::string broken = Parse("broken.xml", kRss);
    EXPECT_NE(broken.find("link=http://broken.example.test/1"), std::string::npos) << broken;

    // Deep nesting, walked on a thread whose stack is far too small for a
    // recursive walk of that depth.
    const int depth = 20000;
    std::string text = "<rss><channel><title>Deep</title>";
    for (int i = 0; i < depth; ++i)
        text += "<x>";
    text += "<item><title>lost</title></item>";
    for (int i = 0; i < depth; ++i)
        text += "</x>";
    text += "<item><title>found</title><link>http://deep.test/</link></item></channel></rss>";
    uXmlDocument document;
    ASSERT_TRUE(document.loadXml(text.c_str(), true, false, false, false));
    ASSERT_NE(document.getDocumentElement(), nullptr);
    CFeedStore store("/nonexistent");
    struct Job
    {
        CFeedStore* store;
        uXmlNode* root;
    } job{&store, new uXmlNode(document.getDocumentElement())};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 256 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(
                  &thread, &attributes,
                  [](void* argument) -> void*
                  {
                      auto* work = static_cast<Job*>(argument);
                      work->store->ParseRssFeed(work->root);
                      return nullptr;
                  },
                  &job),
              0);
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
        {"  tue, 10 jun 2003 04:00:00 pdt\r\n", "2003-06-10 04:00:00"},
                 {"10 JUN 2003", "2003-06-10 "},
                 {"6/10/2003", "2003-06-10 "},
                 {"Sunday, 10-Jun-2003 04:00:00 GMT", "2003-06-10 04:00:00"},
                 {"10 Sept 2003 CEST", "2003-09-10 "},
                 {"July 4, 1999 12:00", "1999-07-04 12:00"},
                 {"2003-06-10T04:00:00Z", ""}, // only two parts: the third token is taken as the time
                 {"10 Jun 99", ""},            // a two-digit year: no part is a year
                 {"2003-00-10", ""},
                 {"32 Jun 2003", ""},
                 {"Mon Mon Mon Mon 10 Jun 2003", ""}, // the seventh token is not looked at
                 {"tomorrow", ""},
                 {"99999999999999999999 Jun 10", ""}};
    for (const auto& c : cases)
        EXPECT_STREQ(CFeedStore::NormalizeDate(c.text).c_str(), c.expected) << "date: " << c.text;
}

} // namespace
