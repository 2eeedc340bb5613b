// An open list relabelled after a refresh: every feed's unread count, and the
// title a first fetch gave a feed imported without one, read through one
// connection to the list database however many feeds it holds.
#include "SqliteWatch.h"
#include "SubscriptionFrameFixture.h"
#include "feeds/TaskTracker.h"

#include <map>
#include <string>

namespace
{
using namespace subscriptiontest;
using sqlitewatch::DatabaseOpenCounter;

constexpr int kFeeds = 40;

class ListRelabelTest : public SubscriptionFrameTest
{
protected:
    // The first list holds kFeeds feeds that are not due (the start-up refresh
    // leaves them alone): feed i has i % 3 unread items and one read item.
    // The last one was imported without a title; one has a quote in its address.
    void StartWithFeeds()
    {
        std::string sql = "BEGIN;";
        for (int i = 0; i < kFeeds; ++i)
        {
            const std::string feed = NumberedFeed(i);
            const std::string title = i == kFeeds - 1 ? "" : "Feed " + std::to_string(i);
            sql += "INSERT INTO channel (feed, title, ttl) VALUES (" + Quoted(feed) + ", '" + title +
                   "', 100000);";
            for (int n = 0; n <= i % 3; ++n)
                sql += "INSERT INTO item (title, link, feed, readstatus) VALUES ('t', " +
                       Quoted(feed + "/item" + std::to_string(n)) + ", " + Quoted(feed) + ", " +
                       (n == 0 ? "1" : "0") + ");";
        }
        Execute("default.mdb", sql + "COMMIT;");
        Start();
        guitest::RunEventsUntil(
            [&] { return m_frame->GetRefreshHost()->GetTaskTracker()->RunningTasks() == 0; }, 60000);
        list = Find("First", subscription::kList);
        ASSERT_EQ(tree->GetChildrenCount(list, false), static_cast<size_t>(kFeeds));
    }

    // Each feed's label, by address.
    std::map<std::string, std::string> LabelsByFeed() const
    {
        std::map<std::string, std::string> labels;
        wxTreeItemIdValue cookie;
        for (wxTreeItemId feed = tree->GetFirstChild(list, cookie); feed.IsOk();
             feed = tree->GetNextChild(list, cookie))
            labels[tree->GetRecord(feed)->text.c_str()] = tree->GetLabel(feed).c_str();
        return labels;
    }

    wxTreeItemId list;
};
} // namespace

TEST_F(ListRelabelTest, AnOpenListIsRelabelledThroughOneConnection)
{
    StartWithFeeds();
    std::map<std::string, std::string> expected = LabelsByFeed();
    EXPECT_EQ(expected[NumberedFeed(2)], "Feed 2 (2)");
    EXPECT_EQ(expected[NumberedFeed(kFeeds - 1)], NumberedFeed(kFeeds - 1))
        << "no title yet: the address stands for it";

    // What a refresh changes behind the window: items read and new ones, a
    // first fetch that names the untitled feed.
    Execute("default.mdb",
            "UPDATE item SET readstatus=1 WHERE feed=" + Quoted(NumberedFeed(2)) + ";" +
                "INSERT INTO item (title, link, feed) VALUES ('n', 'http://127.0.0.1:9/new', " +
                Quoted(NumberedFeed(7)) + ");" +
                "UPDATE channel SET title='Named now' WHERE feed=" + Quoted(NumberedFeed(kFeeds - 1)));
    expected[NumberedFeed(2)] = "Feed 2";
    expected[NumberedFeed(7)] = "Feed 7 (2)";
    expected[NumberedFeed(kFeeds - 1)] = "Named now";
    {
        DatabaseOpenCounter opens("default.mdb");
        m_frame->SendMessage(WM_USER_FEEDUPDATED, 0, uString("default.mdb"));
        EXPECT_EQ(opens.Opens(), 1) << "one connection for the whole list";
    }
    EXPECT_EQ(LabelsByFeed(), expected);

    // The end of a refresh relabels every open list the same way; a list that
    // cannot be read marks its feeds and shows no counts.
    Execute("default.mdb", "DROP TABLE item");
    m_frame->SendMessage(WM_APP_UPDATEDONE);
    wxTreeItemIdValue cookie;
    for (wxTreeItemId feed = tree->GetFirstChild(list, cookie); feed.IsOk();
         feed = tree->GetNextChild(list, cookie))
    {
        EXPECT_EQ(tree->GetItemImage(feed), subscription::kImageWarning) << tree->GetLabel(feed).c_str();
        EXPECT_FALSE(tree->GetLabel(feed).contains("(")) << tree->GetLabel(feed).c_str();
    }
}

// Once a stop signal has asked for the close, the refresh stops at once, and
// the relabelling its workers asked for before is skipped: the close is
// queued behind those messages and must not wait for it.
TEST_F(ListRelabelTest, NothingIsRelabelledOnceACloseIsComing)
{
    StartWithFeeds();
    const std::map<std::string, std::string> before = LabelsByFeed();
    Execute("default.mdb", "UPDATE item SET readstatus=1");
    m_frame->PrepareToClose();
    EXPECT_TRUE(m_frame->GetRefreshHost()->GetTaskTracker()->IsStopping());
    EXPECT_EQ(m_frame->GetRefreshHost()->RefreshAll({uString("default.mdb")}),
              CRefreshHost::RefreshStart::kClosed);
    m_frame->SendMessage(WM_USER_FEEDUPDATED, 0, uString("default.mdb"));
    m_frame->SendMessage(WM_APP_UPDATEDONE);
    EXPECT_EQ(LabelsByFeed(), before);
}
