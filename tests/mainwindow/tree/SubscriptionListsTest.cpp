#include "SlowFetch.h"
#include "SubscriptionFrameFixture.h"
#include "feeds/FeedSearchCriteria.h"
#include "support/GermanInterface.h"

using namespace subscription;
using namespace subscriptiontest;

TEST_F(SubscriptionFrameTest, TheTreeShowsListsFoldersWatchesAndFeedsWithCountsAndSiteIcons)
{
    Site orange("Orange daily", {235, 125, 20, 255}, 3);
    orange.AddFeed("/weekly.xml", "Orange weekly", 1);
    Site blue("Blue podcast", {40, 90, 220, 255}, 2);
    Start();
    ASSERT_TRUE(m_frame->AddSubscription(Find("First", kList), orange.Url(), uString(), false, false));
    ASSERT_TRUE(
        m_frame->AddSubscription(Find("First", kList), orange.Url("/weekly.xml"), uString(), false, false));
    ASSERT_TRUE(m_frame->AddSubscription(Find("Second", kList), blue.Url(), uString(), false, false));
    m_frame->SendMessage(WM_APP_MARKALLREAD, 0, ItemToParam(tree->GetLastChild(Find("First", kList))));
    EXPECT_LT(tree->GetItemImage(tree->GetLastChild(Find("First", kList))), CMainFrame::kTreeImageCount)
        << "a new feed shows its site icon once it is shown or its list read";

    // Open lists are read at start, with their feeds' icons.
    Restart();
    wxTreeItemId first = Find("First", kList);
    EXPECT_EQ(Labels(first), (std::vector<std::string>{"Orange daily (3)", "Orange weekly"}));
    int daily = tree->GetItemImage(tree->GetFirstChildItem(first));
    EXPECT_EQ(daily, CMainFrame::kTreeImageCount) << "the first site icon follows the 20 images of the strip";
    EXPECT_EQ(tree->GetItemImage(tree->GetLastChild(first)), daily) << "one image per icon file";
    EXPECT_EQ(tree->GetItemImage(tree->GetFirstChildItem(Find("Second", kList))), daily + 1);

    m_frame->SetSize(wxSize(1200, 700));
    tree->UnselectAll();
    guitest::RunEventsFor(300);
    EXPECT_TRUE(guitest::TakeScreenshot("subscription-tree").IsOk());
}

TEST_F(SubscriptionFrameTest, NewListsComeFromTheTemplateUnderTheirChannelOrFolder)
{
    Start();
    wxTreeItemId podcasts = Find("Podcasts", kFolder);
    m_frame->SendMessage(WM_APP_NEWLIST, 0, ItemToParam(podcasts));
    wxTreeItemId created = tree->GetLastChild(podcasts);
    EXPECT_STREQ(tree->GetLabel(created).c_str(), "New List");
    EXPECT_STREQ(tree->GetRecord(created)->text.c_str(), "user1.mdb") << "user0.mdb is taken";
    EXPECT_TRUE(tree->IsPlaceholder(tree->GetFirstChildItem(created)));
    EXPECT_EQ(m_frame->GetSubscriptionLists().back(), uString("user1.mdb"));
    EXPECT_TRUE(testsupport::ReadFileBytes(Data("user1.mdb")) ==
                testsupport::ReadFileBytes(KESTROVA_LIST_TEMPLATE))
        << "a copy of the template";

    m_frame->SendMessage(WM_APP_NEWLIST, 0, ItemToParam(Find("Election", kWatch)));
    EXPECT_FALSE(testsupport::FileExists(Data("user2.mdb"))) << "only a channel or a folder holds lists";

    // Open List reads the new (empty) list; a second Open List only expands.
    m_frame->SendMessage(WM_APP_OPENLIST, 0, ItemToParam(created));
    EXPECT_FALSE(tree->GetFirstChildItem(created).IsOk());
    EXPECT_NE(tree->GetItemImage(created), kImageWarning);
    EXPECT_TRUE(m_prompt->shown.empty());
}

TEST_F(SubscriptionFrameTest, AListWithoutItsDatabaseWarnsAndRemovingOneThatCannotGoChangesNothing)
{
    Start();
    std::ofstream(Data("user0.mdb"), std::ios::trunc).flush();
    wxTreeItemId second = Find("Second", kList);
    tree->Expand(second);
    EXPECT_EQ(m_prompt->Ids(), std::vector<int>{3012});
    EXPECT_EQ(tree->GetItemImage(second), kImageWarning);
    EXPECT_FALSE(tree->GetFirstChildItem(second).IsOk());

    // A database that cannot be deleted as a file (here a folder with content).
    std::filesystem::remove(Data("user0.mdb"));
    std::filesystem::create_directories(Data("user0.mdb/inside"));
    m_frame->SendMessage(WM_APP_REMOVELIST, 0, ItemToParam(second));
    EXPECT_EQ(m_prompt->Ids().back(), 3016);
    EXPECT_TRUE(Find("Second", kList).IsOk()) << "nothing changes";
    EXPECT_EQ(m_frame->GetSubscriptionLists(), (std::vector<uString>{"default.mdb", "user0.mdb"}));

    std::filesystem::remove_all(Data("user0.mdb"));
    m_frame->SendMessage(WM_APP_OPENLIST, 0, ItemToParam(second));
    EXPECT_EQ(m_prompt->Ids().back(), 3019);
    EXPECT_NE(m_prompt->shown.back().text.find("(user0.mdb)"), std::string::npos)
        << m_prompt->shown.back().text;

    m_frame->SendMessage(WM_APP_REMOVELIST, 0, ItemToParam(Find("First", kList)));
    EXPECT_FALSE(Find("First", kList).IsOk());
    EXPECT_FALSE(testsupport::FileExists(Data("default.mdb")));
    EXPECT_EQ(m_frame->GetSubscriptionLists(), std::vector<uString>{"user0.mdb"});
}

TEST_F(SubscriptionFrameTest, NewChannelsAndFoldersAreNumberedPastTheTakenNames)
{
    Start();
    m_frame->NewChannel();
    m_frame->NewChannel();
    EXPECT_EQ(Labels(tree->GetRootItem()),
              (std::vector<std::string>{"News", "Archive", "New Channel", "New Channel 1"}));

    tree->SetRememberedItem(Find("Podcasts", kFolder));
    m_frame->NewFolder();
    m_frame->NewFolder();
    m_frame->NewFolder();
    EXPECT_EQ(Labels(Find("Podcasts", kFolder)),
              (std::vector<std::string>{"Second", "Election", "New Folder", "New Folder 1", "New Folder 2"}));
    EXPECT_TRUE(tree->IsExpanded(Find("Podcasts", kFolder)));

    tree->SetRememberedItem(Find("Election", kWatch));
    m_frame->NewFolder();
    EXPECT_EQ(Labels(Find("News", kChannel)).back(), "New Folder 3")
        << "not a channel or folder: the first channel, whose branch has the others";

    // Named in the interface language when made; the names made before stay.
    testsupport::GermanInterface german;
    ASSERT_TRUE(german.loaded);
    m_frame->NewChannel();
    m_frame->NewChannel();
    tree->SetRememberedItem(Find("Podcasts", kFolder));
    m_frame->NewFolder();
    m_frame->SendMessage(WM_APP_NEWLIST, 0, ItemToParam(Find("Podcasts", kFolder)));
    EXPECT_EQ(Labels(tree->GetRootItem()),
              (std::vector<std::string>{"News", "Archive", "New Channel", "New Channel 1", "Neuer Kanal",
                                        "Neuer Kanal 1"}));
    EXPECT_EQ(Labels(Find("Podcasts", kFolder)),
              (std::vector<std::string>{"Second", "Election", "New Folder", "New Folder 1", "New Folder 2",
                                        "Neuer Ordner", "Neue Liste"}));
}

TEST_F(SubscriptionFrameTest, SearchingAListNamesWhatIsMissingOrNotFound)
{
    Site site("Searchable", {235, 125, 20, 255}, 3);
    Start();
    ASSERT_TRUE(m_frame->AddSubscription(Find("First", kList), site.Url(), uString(), false, false));
    CFeedSearchCriteria request;
    request.field = CFeedSearchCriteria::kTitleAndDescription;
    request.phrase = "story";
    EXPECT_FALSE(m_frame->SearchDatabases(request));
    request.listName = "first";
    request.phrase = "";
    EXPECT_FALSE(m_frame->SearchDatabases(request));
    request.phrase = "nowhere";
    EXPECT_FALSE(m_frame->SearchDatabases(request));
    EXPECT_EQ(m_prompt->Ids(), (std::vector<int>{3020, 3021, 3022}));
    EXPECT_NE(m_prompt->shown.back().text.find("\"nowhere\""), std::string::npos);

    request.phrase = "Searchable story 2";
    EXPECT_TRUE(m_frame->SearchDatabases(request)) << "lists are found by label, ignoring case";
    CFeedStore store;
    request.listName = "default.mdb";
    EXPECT_TRUE(m_frame->SearchList(store, request, CMainFrame::kFindByValue));
    EXPECT_EQ(store.items.size(), 1u);
}

// A server sending 10 bytes a second: the fetch runs off the window thread,
// so a timer of the window keeps firing, and Cancel in the progress dialog
// ends the transfer and the subscription with nothing added.
TEST_F(SubscriptionFrameTest, SubscribingToASlowServerKeepsTheWindowAliveAndCancelEndsIt)
{
    auto gate = std::make_shared<guitest::ResponseGate>();
    testsupport::LocalHttpServer slow;
    guitest::GateOpener opener{gate};
    slow.serve("/slow.xml",
               guitest::TricklingResponse(
                   feedsite::Rss("Slow", slow.url("/"), feedsite::Items(slow.url("/"), "s", 1, 2)),
                   "application/rss+xml", gate));
    Start();
    const std::vector<std::string> before = Labels(Find("First", kList));

    guitest::CancelProgressOnTick user;
    EXPECT_FALSE(m_frame->AddSubscription(Find("First", kList), uString(slow.url("/slow.xml").c_str()),
                                          uString(), false, false));
    EXPECT_GE(user.ticks, guitest::CancelProgressOnTick::kCancelTick)
        << "the window's timer fired while the feed was fetched";
    EXPECT_TRUE(user.cancelled) << "a progress dialog with Cancel was shown";
    EXPECT_FALSE(gate->Expired()) << "Cancel ended the transfer";
    EXPECT_TRUE(m_messages->texts.empty());
    EXPECT_EQ(Labels(Find("First", kList)), before) << "nothing subscribed";
}

// A Ctrl-drop copies a list's item, not its database: removing either item
// must leave the other with its feeds, its items and its place in the refresh.
TEST_F(SubscriptionFrameTest, RemovingACopiedListKeepsTheDatabaseOfTheListItWasCopiedFrom)
{
    Site site("Shared", {20, 150, 30, 255}, 2);
    Start();
    ASSERT_TRUE(m_frame->AddSubscription(Find("Second", kList), site.Url(), uString(), false, false));
    wxTreeItemId news = Find("News", kChannel);
    auto copyOfSecond = [&]
    {
        tree->DropItem(Find("Second", kList), news, /*copy=*/true);
        wxTreeItemId copy = tree->GetLastChild(news);
        EXPECT_STREQ(tree->GetRecord(copy)->text.c_str(), "user0.mdb");
        return copy;
    };
    auto original = [&] { return tree->GetFirstChildItem(Find("Podcasts", kFolder)); };
    auto listsNamingUser0 = [&]
    {
        const std::vector<uString>& lists = m_frame->GetSubscriptionLists();
        return std::count(lists.begin(), lists.end(), uString("user0.mdb"));
    };

    m_frame->SendMessage(WM_APP_REMOVELIST, 0, ItemToParam(copyOfSecond()));
    EXPECT_EQ(m_prompt->Ids(), std::vector<int>{3016});
    EXPECT_EQ(Labels(news), (std::vector<std::string>{"First", "Podcasts"})) << "the copy is gone";
    EXPECT_TRUE(testsupport::FileExists(Data("user0.mdb")));
    EXPECT_GE(listsNamingUser0(), 1);

    // Delete on a copy does the same.
    wxTreeItemId copy = copyOfSecond();
    tree->SetFocus();
    tree->SelectItem(copy);
    Command(kDelete);
    EXPECT_EQ(m_prompt->Ids().back(), 3015);
    EXPECT_EQ(Labels(news), (std::vector<std::string>{"First", "Podcasts"}));
    EXPECT_EQ(Count("user0.mdb", "item", site.Url()), 2);
    EXPECT_GE(listsNamingUser0(), 1);

    // The original still opens with its feed and is refreshed.
    tree->Collapse(original());
    m_frame->SendMessage(WM_APP_OPENLIST, 0, ItemToParam(original()));
    EXPECT_EQ(Labels(original()), std::vector<std::string>{"Shared (2)"});
    site.AddFeed("/feed.xml", "Shared", 3);
    MakeDue("user0.mdb");
    m_frame->RefreshAll();
    // The pass's tasks outlive its worker: wait for them too.
    ASSERT_TRUE(m_frame->GetRefreshHost()->WaitIdle(60000));
    EXPECT_EQ(Count("user0.mdb", "item", site.Url()), 3) << "the new item is stored";

    // The last item naming the database takes it with it.
    m_frame->SendMessage(WM_APP_REMOVELIST, 0, ItemToParam(original()));
    EXPECT_FALSE(testsupport::FileExists(Data("user0.mdb")));
    EXPECT_EQ(listsNamingUser0(), 0);
}

// The address stands in for a missing title, with the unread count after
// it, when subscribed and when the list is read again.
TEST_F(SubscriptionFrameTest, AFeedWithoutATitleIsLabelledWithItsAddress)
{
    Site site("", {20, 150, 30, 255}, 2);
    Start();
    ASSERT_TRUE(m_frame->AddSubscription(Find("First", kList), site.Url(), uString(), false, false));
    const std::string label = std::string(site.Url().c_str()) + " (2)";
    EXPECT_EQ(Labels(Find("First", kList)), std::vector<std::string>{label});

    Restart();
    EXPECT_EQ(Labels(Find("First", kList)), std::vector<std::string>{label});
    m_frame->SendMessage(WM_APP_MARKALLREAD, 0, ItemToParam(Find("First", kList)));
    EXPECT_EQ(Labels(Find("First", kList)), std::vector<std::string>{site.Url().c_str()})
        << "read, the address without a count";
}
