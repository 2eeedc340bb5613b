#include "dialogs/RssExport.h"

#include "feeds/FeedStore.h"
#include "foundation/ProductAddress.h"
#include "foundation/uFile.h"
#include "support/GermanInterface.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <string>

using rssexport::SaveAction;

namespace
{
CItemRecord Item(const char* title, const char* link)
{
    CItemRecord item;
    item.title = title;
    item.link = link;
    return item;
}

TEST(RssExportTest, ExportedItemsParseBackTheSame)
{
    testsupport::TempHome home;
    std::vector<CItemRecord> items;
    items.push_back(Item("Fish & \"Chips\" — Zoë", "http://127.0.0.1:1/a?x=1&y=2"));
    items.back().author = "Ann <ann@127.0.0.1>";
    items.back().description = "<p>Rich &amp; <b>bold</b></p>";
    items.back().pubDate = "2026-01-05 10:00:00";
    items.back().enclosureLink = "http://127.0.0.1:1/a.mp3";
    items.back().enclosureLength = "1234";
    items.back().enclosureType = "audio/mpeg";
    items.push_back(Item("Content only", "http://127.0.0.1:1/b"));
    items.back().content = "The content";
    items.back().enclosureLink = "http://127.0.0.1:1/b.ogg"; // no length, no type
    items.push_back(Item("Subject only\x0b", "http://127.0.0.1:1/c"));
    items.back().subject = "The subject";

    std::string path = home.file("items.rss");
    ASSERT_TRUE(rssexport::WriteItems(items, path.c_str()));
    std::string text = testsupport::ReadFileBytes(path);
    EXPECT_EQ(text.find("standalone=\"yes\""), std::string::npos) << text;
    EXPECT_LT(text.find("<title>Kestrova Subscription</title>"), text.find("<generator>"));
    // The channel links to the program's one home address.
    const std::string site = kProductWebAddress;
    EXPECT_NE(text.find("<link>" + site + "</link>"), std::string::npos) << text;
    EXPECT_NE(text.find("<copyright>" + site + "</copyright>"), std::string::npos) << text;
    EXPECT_EQ(text.find("length", text.find("b.ogg")), std::string::npos) << "no empty length";

    CFeedStore store(uString(home.path().c_str()));
    ASSERT_TRUE(store.LoadFeedFile(uFile(path.c_str()), false));
    EXPECT_STREQ(store.channel.title.c_str(), "Kestrova Subscription");
    ASSERT_EQ(store.items.size(), 3u);
    const char* const descriptions[] = {"<p>Rich &amp; <b>bold</b></p>", "The content", "The subject"};
    for (std::size_t i = 0; i < items.size(); ++i)
    {
        EXPECT_STREQ(store.items[i].link.c_str(), items[i].link.c_str()) << i;
        EXPECT_STREQ(store.items[i].description.c_str(), descriptions[i]) << i;
        EXPECT_STREQ(store.items[i].enclosureLink.c_str(), items[i].enclosureLink.c_str()) << i;
    }
    EXPECT_STREQ(store.items[0].title.c_str(), items[0].title.c_str());
    EXPECT_STREQ(store.items[2].title.c_str(), "Subject only");
    EXPECT_STREQ(store.items[0].author.c_str(), "Ann <ann@127.0.0.1>");
    EXPECT_STREQ(store.items[0].pubDate.c_str(), "2026-01-05 10:00:00");
    EXPECT_STREQ(store.items[0].enclosureLength.c_str(), "1234");
    EXPECT_STREQ(store.items[0].enclosureType.c_str(), "audio/mpeg");
}

TEST(RssExportTest, SaveOffersWhatIsShownAndWritesByExtension)
{
    rssexport::SaveChoices all = rssexport::OfferedChoices(true, true, true);
    EXPECT_STREQ(all.filter.c_str(),
                 "Current Webpage (*.htm; *.html)|*.htm;*.html|News/Podcast Feed (*.rss)|*.rss|"
                 "Subscription Outlines (*.opml)|*.opml");
    ASSERT_EQ(all.extensions.size(), 3u);
    rssexport::SaveChoices items = rssexport::OfferedChoices(false, true, false);
    ASSERT_EQ(items.extensions.size(), 1u);
    EXPECT_STREQ(items.extensions[0].c_str(), "rss");
    EXPECT_TRUE(rssexport::OfferedChoices(false, false, false).filter.isEmpty());
    {
        testsupport::GermanInterface german;
        ASSERT_TRUE(german.loaded);
        EXPECT_STREQ(rssexport::OfferedChoices(true, true, true).filter.c_str(),
                     "Aktuelle Webseite (*.htm; *.html)|*.htm;*.html|Nachrichten-/Podcast-Feed (*.rss)|*.rss|"
                     "Abonnement-Gliederungen (*.opml)|*.opml");
    }

    EXPECT_EQ(rssexport::ActionForPath(uString("/t/a.RSS")), SaveAction::kRss);
    EXPECT_EQ(rssexport::ActionForPath(uString("/t/page.html")), SaveAction::kPage);
    EXPECT_EQ(rssexport::ActionForPath(uString("/t/page.htm")), SaveAction::kPage);
    EXPECT_EQ(rssexport::ActionForPath(uString("/t/tree.Opml")), SaveAction::kOpml);
    EXPECT_EQ(rssexport::ActionForPath(uString("/t.d/none")), SaveAction::kNothing);
    EXPECT_EQ(rssexport::ActionForPath(uString("/t/x.txt")), SaveAction::kNothing);

    // Save writes what its dialog showed: the extension when it names an
    // output offered, else the filter left chosen (the first when unknown).
    const struct
    {
        const char* path;
        rssexport::SaveChoices offered;
        int filter;
        SaveAction action;
    } saves[] = {
        {"/t/plain.txt", all, 0, SaveAction::kPage},
        {"/t/plain.txt", all, 2, SaveAction::kOpml},
        {"/t/a.rss", all, 0, SaveAction::kRss},
        {"/t/page.htm", items, 0, SaveAction::kRss},
        {"/t/none", items, -1, SaveAction::kRss},
        {"/t/a.opml", all, 7, SaveAction::kOpml},
        {"/t/plain.txt", rssexport::SaveChoices(), 0, SaveAction::kNothing},
    };
    for (const auto& save : saves)
        EXPECT_EQ(rssexport::ActionForSave(uString(save.path), save.offered, save.filter), save.action)
            << save.path << " " << save.filter;

    EXPECT_STREQ(rssexport::EscapeAsSource(uString("<a href=\"x\">&amp;</a>")).c_str(),
                 "<pre>\n&lt;a href=\"x\"&gt;&amp;amp;&lt;/a&gt;\n</pre>");
}
} // namespace
