#include "CommandIds.h"
#include "SlowFetch.h"
#include "SubscriptionFrameFixture.h"
#include "dialogs/OpmlDialogs.h"
#include "feeds/LibraryFiles.h"
#include "mainwindow/HtmlCtrl.h"
#include "mainwindow/WebBrowserFrame.h"
#include "support/GermanInterface.h"

#include <wx/listctrl.h>

using namespace subscription;
using namespace subscriptiontest;

namespace
{
const char* const kOutlines = R"(<?xml version="1.0" encoding="UTF-8"?>
<opml version="2.0"><head><title>Slow outlines</title></head><body>
<outline type="rss" text="One" xmlUrl="http://127.0.0.1:9/one.xml"/>
</body></opml>
)";

// Each command fetches from a server that trickles and then stalls; a timer
// of the window fires meanwhile and cancels in the progress dialog.
class SlowFetchFrameTest : public SubscriptionFrameTest
{
protected:
    ~SlowFetchFrameTest() override { gate->Open(); }

    void ServeSlow(const std::string& path, const std::string& body, const std::string& type)
    {
        slow.serve(path, guitest::TricklingResponse(body, type, gate));
    }
    uString SlowUrl(const std::string& path) const { return uString(slow.url(path).c_str()); }
    // The temporary download of an address, which must be gone afterwards.
    bool TempFileLeft(const uString& url) const
    {
        return uFile(CPreference::GetInstance()->GetTempDir().getPath().c_str(), feeds::Md5Hex(url).c_str())
            .exists();
    }
    void ExpectCancelledQuietly(const guitest::CancelProgressOnTick& user)
    {
        EXPECT_TRUE(user.cancelled) << "a progress dialog with Cancel was shown";
        EXPECT_GE(user.ticks, guitest::CancelProgressOnTick::kCancelTick)
            << "the window's timer fired while the fetch ran";
        EXPECT_FALSE(gate->Expired()) << "Cancel ended the transfer";
        EXPECT_TRUE(user.afterward.empty()) << "the command went on after Cancel: " << user.afterward.front();
        EXPECT_TRUE(m_prompt->Ids().empty()) << "a cancel is no failure to report";
    }
    void ShowPage(const uString& url, const std::string& html)
    {
        m_frame->GetBrowserFrame()->GetHtmlCtrl()->WriteHtml(uString(html.c_str()));
        m_frame->GetBrowserFrame()->SetAddressText(url);
    }

    std::shared_ptr<guitest::ResponseGate> gate = std::make_shared<guitest::ResponseGate>();
    testsupport::LocalHttpServer slow;
};

TEST_F(SlowFetchFrameTest, AnAddressOnASlowServerCanBeCancelledAndNothingIsSubscribedOrImported)
{
    // An outline document: done, it would be offered for import.
    ServeSlow("/outlines.opml", kOutlines, "text/x-opml");
    Start();
    const std::vector<std::string> first = Labels(Find("First", kList));
    const std::vector<std::string> podcasts = Labels(Find("Podcasts", kFolder));
    {
        guitest::CancelProgressOnTick user;
        m_frame->SendMessage(WM_APP_SUBSCRIBEURL, 0, SlowUrl("/outlines.opml"));
        ExpectCancelledQuietly(user);
    }
    EXPECT_EQ(Labels(Find("First", kList)), first);
    EXPECT_EQ(Labels(Find("Podcasts", kFolder)), podcasts);
    EXPECT_FALSE(TempFileLeft(SlowUrl("/outlines.opml")));
    EXPECT_EQ(slow.requestsFor("/outlines.opml").size(), 1u);
}

TEST_F(SlowFetchFrameTest, ViewingTheSourceOfASlowAddressCanBeCancelledAndThePaneKeepsItsPage)
{
    ServeSlow("/page.xml", "<rss><channel><title>Slow</title></channel></rss>", "text/xml");
    Start();
    ShowPage(uString("about:blank"), "<p>shown before</p>");
    {
        guitest::CancelProgressOnTick user;
        EXPECT_EQ(m_frame->SendMessage(WM_APP_VIEWSOURCE, 0, SlowUrl("/page.xml")), -1);
        ExpectCancelledQuietly(user);
    }
    uString source;
    ASSERT_TRUE(guitest::DocumentSource(*m_frame->GetBrowserFrame()->GetHtmlCtrl(), source));
    EXPECT_STREQ(source.c_str(), "<p>shown before</p>");
    EXPECT_FALSE(TempFileLeft(SlowUrl("/page.xml")));
}

TEST_F(SlowFetchFrameTest, LookingForFeedsOffersTheLinkedFeedsAndASlowLinkCanBeCancelled)
{
    Site site("Linked news", {20, 120, 230, 255}, 2);
    Start();

    // The page links a feed: it is offered with its own title and subscribed.
    std::vector<std::string> offered;
    guitest::WhenDialogShown<OPMLImport>(
        [&](OPMLImport& dialog)
        {
            for (long row = 0; row < dialog.GetFeedList()->GetItemCount(); ++row)
                offered.push_back(
                    dialog.GetFeedList()->GetItemText(row, OPMLImport::kTitleColumn).utf8_string());
            guitest::Press(dialog, OPMLImport::kSelectAll);
            guitest::Press(dialog, wxID_OK);
        });
    ShowPage(site.Url("/index.html"), "<p>News</p><a href=\"feed.xml\">feed</a>");
    Command(resources::cmd::kLookForFeeds);
    EXPECT_EQ(offered, std::vector<std::string>{"Linked news"});
    EXPECT_EQ(Count("default.mdb", "item", site.Url()), 2);
    EXPECT_TRUE(m_prompt->Ids().empty());

    // A page whose feed link answers slowly: Cancel ends the search quietly,
    // without "no feeds" and without an offer.
    ServeSlow("/slow.xml", "<rss><channel><title>Slow</title></channel></rss>", "text/xml");
    const std::vector<std::string> first = Labels(Find("First", kList));
    ShowPage(SlowUrl("/index.html"), "<p>News</p><a href=\"slow.xml\">feed</a>");
    // The progress dialog is named after the command, in the interface language.
    testsupport::GermanInterface german;
    ASSERT_TRUE(german.loaded);
    {
        guitest::CancelProgressOnTick user;
        Command(resources::cmd::kLookForFeeds);
        ExpectCancelledQuietly(user);
        EXPECT_EQ(user.progressTitle, "Auf der aktuellen Seite nach Newsfeeds suchen");
    }
    EXPECT_EQ(Labels(Find("First", kList)), first);
    EXPECT_EQ(Count("default.mdb", "channel", SlowUrl("/slow.xml")), 0);
}
} // namespace
