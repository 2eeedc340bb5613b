// Reading in the real main window: a feed subscribed from 127.0.0.1 is
// selected in the tree, its items fill the list, and clicking one renders it,
// marks it read and lowers the count in the tree.
#include "SubscriptionFrameFixture.h"
#include "mainwindow/HtmlCtrl.h"
#include "mainwindow/ItemKind.h"
#include "mainwindow/KestrovaView.h"
#include "mainwindow/WebBrowserFrame.h"
#include "support/GermanInterface.h"

#include <wx/webview.h>

using namespace subscription;
using namespace subscriptiontest;

namespace
{
// The items oldest first: the store lists the last stored item first.
std::string DatedFeed(const std::string& base)
{
    auto item = [&](const char* name, const char* date, const char* extra)
    {
        return std::string("<item><title>") + name + "</title><link>" + base + "/story/" + name +
               "</link><description>&lt;p&gt;The " + name + " story&lt;/p&gt;</description><pubDate>" + date +
               "</pubDate>" + extra + "</item>\n";
    };
    return "<?xml version=\"1.0\"?>\n<rss version=\"2.0\"><channel><title>Dated news</title><link>" + base +
           "/</link><description>d</description>\n" +
           item("Newest", "Thu, 05 Jan 2023 08:00:00 GMT",
                ("<enclosure url=\"" + base + "/media/newest.mp3\" length=\"5\" type=\"audio/mpeg\"/>")
                    .c_str()) +
           item("Middle", "Tue, 03 Jan 2023 08:00:00 GMT", "") +
           item("Older", "Mon, 02 Jan 2023 08:00:00 GMT", "") + "</channel></rss>\n";
}

class MainFrameReading : public SubscriptionFrameTest
{
protected:
    std::vector<std::string> Titles()
    {
        std::vector<std::string> titles;
        for (int row = 0; row < List()->GetRowCount(); ++row)
            titles.push_back(List()->GetRowText(row, CKestrovaView::kTitle).c_str());
        return titles;
    }
    CKestrovaView* List() { return m_frame->GetItemListView(); }
    wxWebView* Browser() { return m_frame->GetBrowser(); }
    std::string WaitForPage(const std::string& text) { return guitest::WaitForPage(*Browser(), text); }
};
} // namespace

TEST_F(MainFrameReading, SelectingAFeedAndClickingAnItem)
{
    Site site("Unused", {40, 160, 60, 255}, 1);
    const std::string base = site.server.url("/");
    site.server.serveContent("/dated.xml", DatedFeed(base.substr(0, base.size() - 1)), "application/rss+xml");
    const uString url = site.Url("/dated.xml");
    CMainFrame& frame = Start();
    ASSERT_TRUE(frame.AddSubscription(Find("First", kList), url, uString(), false, false));
    wxTreeItemId feed =
        frame.FindTreeItem(url, tree->GetFirstTopLevelItem(), CMainFrame::kFindByValue, kFeed);
    ASSERT_TRUE(feed.IsOk());
    EXPECT_EQ(tree->GetLabel(feed).c_str(), std::string("Dated news (3)"));

    // Another item first, so that choosing the feed is a real change.
    tree->SelectItem(Find("Archive", kChannel));
    guitest::RunEventsFor(50);
    EXPECT_EQ(frame.GetTitle(), "Kestrova");
    List()->ClearRows();
    tree->SelectItem(feed);
    guitest::RunEventsFor(50);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Newest", "Middle", "Older"}));
    EXPECT_EQ(List()->GetRow(0)->image, itemkind::kImageAudio);
    EXPECT_EQ(frame.GetTitle(), wxString("Kestrova - Dated news - ") + url.c_str());
    EXPECT_EQ(frame.GetCurrentChannelItem(), feed);
    {
        testsupport::GermanInterface german;
        ASSERT_TRUE(german.loaded);
        tree->SelectItem(Find("Election", kWatch));
        EXPECT_TRUE(guitest::RunEventsUntil(
            [&]
            {
                return frame.GetTitle() ==
                       wxString::FromUTF8("Kestrova Nachrichtenbeobachtung - Election - vote or ballot");
            },
            5000))
            << frame.GetTitle();
        tree->SelectItem(feed);
        guitest::RunEventsFor(50);
    }

    ClickRow(1);
    std::string page = WaitForPage("The Middle story");
    ASSERT_FALSE(page.empty());
    EXPECT_EQ(tree->GetLabel(feed).c_str(), std::string("Dated news (2)")) << "the count in the tree";
    EXPECT_EQ(std::string(frame.GetBrowserFrame()->GetAddressText().c_str()), base + "story/Middle");

    ClickRow(0);
    page = WaitForPage("The Newest story");
    ASSERT_FALSE(page.empty());
    EXPECT_NE(page.find(base + "media/newest.mp3"), std::string::npos) << "the enclosure link";
    EXPECT_EQ(tree->GetLabel(feed).c_str(), std::string("Dated news (1)"));
    guitest::RunEventsUntil([&] { return Browser()->GetCurrentTitle() == "Newest"; });
    guitest::RunEventsFor(400);
    EXPECT_TRUE(guitest::TakeScreenshot("main-window-item-with-enclosure").IsOk());
}

TEST_F(MainFrameReading, RefreshingAFeedFetchesItAgainOrShowsWhyNot)
{
    Site site("Unused", {40, 160, 60, 255}, 1);
    const std::string base = site.server.url("/");
    const std::string root = base.substr(0, base.size() - 1);
    site.server.serveContent("/dated.xml", DatedFeed(root), "application/rss+xml");
    const uString url = site.Url("/dated.xml");
    CMainFrame& frame = Start();
    ASSERT_TRUE(frame.AddSubscription(Find("First", kList), url, uString(), false, false));
    wxTreeItemId feed =
        frame.FindTreeItem(url, tree->GetFirstTopLevelItem(), CMainFrame::kFindByValue, kFeed);
    tree->SelectItem(feed);
    guitest::RunEventsFor(50);
    ASSERT_EQ(List()->GetRowCount(), 3);

    // The feed gained a story: Refresh stores it, shows it and counts it.
    std::string grown = DatedFeed(root);
    grown.insert(grown.find("</channel>"), "<item><title>Latest</title><link>" + root +
                                               "/story/Latest</link><description>new</description></item>\n");
    site.server.serveContent("/dated.xml", grown, "application/rss+xml");
    frame.SendMessage(WM_APP_REFRESHFEED);
    EXPECT_EQ(List()->GetRowCount(), 4);
    EXPECT_EQ(List()->GetRowText(0, CKestrovaView::kTitle).c_str(), std::string("Latest"));
    EXPECT_EQ(tree->GetLabel(feed).c_str(), std::string("Dated news (4)"));

    // A feed that cannot be fetched keeps the list and says why.
    testsupport::HttpResponse missing;
    missing.status = 404;
    site.server.serve("/dated.xml", missing);
    frame.SendMessage(WM_APP_TREEDBLCLK);
    EXPECT_EQ(List()->GetRowCount(), 4);
    ASSERT_FALSE(m_prompt->shown.empty());
    EXPECT_FALSE(m_prompt->shown.back().text.empty()) << "the store's error text";
    EXPECT_EQ(tree->GetItemImage(feed), kImageWarning);
}
