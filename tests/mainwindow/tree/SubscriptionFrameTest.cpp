#include "SubscriptionFrameFixture.h"
#include "downloads/DownloadManager.h"
#include "support/GermanInterface.h"

#include <wx/textctrl.h>
#include <wx/uiaction.h>

using namespace subscription;
using namespace subscriptiontest;

TEST_F(SubscriptionFrameTest, ASubscribedFeedShowsWithItsUnreadCountAndSurvivesARestart)
{
    Site site("Loopback news", {230, 120, 20, 255}, 3);
    Start();
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(Labels(tree->GetRootItem()), (std::vector<std::string>{"News", "Archive"}));
    wxTreeItemId second = Find("Second", kList);
    ASSERT_TRUE(tree->IsPlaceholder(tree->GetFirstChildItem(second))) << "a closed list is not read at start";

    SubscribeThroughDialog(site.Url(), 1);
    second = Find("Second", kList);
    EXPECT_EQ(Labels(second), std::vector<std::string>{"Loopback news (3)"});
    EXPECT_TRUE(tree->IsExpanded(second));
    wxTreeItemId feed = tree->GetFirstChildItem(second);
    EXPECT_GE(tree->GetItemImage(feed), CMainFrame::kTreeImageCount) << "the site's icon";
    EXPECT_EQ(Count("user0.mdb", "channel", site.Url()), 1);
    EXPECT_EQ(Count("user0.mdb", "item", site.Url()), 3);
    EXPECT_EQ(Count("default.mdb", "channel", site.Url()), 0);
    EXPECT_TRUE(guitest::TakeScreenshot("subscribed-feed").IsOk());

    // The same address again: no second item, the existing one is shown.
    SubscribeThroughDialog(site.Url(), 1);
    EXPECT_EQ(Labels(Find("Second", kList)), std::vector<std::string>{"Loopback news (3)"});
    EXPECT_EQ(tree->GetSelection(), tree->GetFirstChildItem(Find("Second", kList)));
    EXPECT_EQ(m_messages->texts.size(), 1u) << "the store says the feed is there already";
    {
        testsupport::GermanInterface german;
        ASSERT_TRUE(german.loaded);
        SubscribeThroughDialog(site.Url(), 1);
        EXPECT_EQ(m_messages->texts.back(), "Dieser Newsfeed ist bereits abonniert. ");
    }

    Restart();
    second = Find("Second", kList);
    ASSERT_TRUE(second.IsOk());
    EXPECT_TRUE(tree->IsExpanded(second)) << "an open list is read again at start";
    EXPECT_EQ(Labels(second), std::vector<std::string>{"Loopback news (3)"});
    EXPECT_EQ(Labels(Find("Podcasts", kFolder)), (std::vector<std::string>{"Second", "Election"}));
    EXPECT_STREQ(tree->GetRecord(Find("Election", kWatch))->text.c_str(), "vote or ballot");
}

// A broken document without items is refused as one that cannot be read
// and leaves nothing behind; a sound feed without items shows at once.
TEST_F(SubscriptionFrameTest, AFeedWithoutItemsShowsAtOnceAndABrokenOneIsRefused)
{
    Site site("Quiet cast", {20, 120, 230, 255}, 0);
    const std::string sound = feedsite::Rss("Quiet cast", site.server.url("/site"), {});
    site.server.serveContent(
        "/feed.xml",
        "<rss version=\"2.0\"><channel><title>Broken feed<description>unclosed tag</channel></rss>",
        "application/rss+xml");
    Start();
    SubscribeThroughDialog(site.Url(), 0);
    EXPECT_EQ(m_messages->texts, std::vector<std::string>{"Failed to load/parse XML Document"});
    EXPECT_EQ(Count("default.mdb", "channel", site.Url()), 0);
    EXPECT_TRUE(Labels(Find("First", kList)).empty());

    site.server.serveContent("/feed.xml", sound, "application/rss+xml");
    SubscribeThroughDialog(site.Url(), 0);
    EXPECT_EQ(m_messages->texts.size(), 1u) << "not taken for a feed the list holds";
    EXPECT_EQ(Labels(Find("First", kList)), std::vector<std::string>{"Quiet cast"});
    EXPECT_EQ(tree->GetSelection(), tree->GetFirstChildItem(Find("First", kList)));
    EXPECT_EQ(Count("default.mdb", "channel", site.Url()), 1);

    Restart();
    EXPECT_EQ(Labels(Find("First", kList)), std::vector<std::string>{"Quiet cast"});
}

TEST_F(SubscriptionFrameTest, RenamingAFeedKeepsItsCountAndRenamesItsChannel)
{
    Site site("Loopback news", {230, 120, 20, 255}, 3);
    Start();
    ASSERT_TRUE(m_frame->AddSubscription(Find("First", kList), site.Url(), uString(), false, false));
    wxTreeItemId feed = tree->GetFirstChildItem(Find("First", kList));
    ASSERT_STREQ(tree->GetLabel(feed).c_str(), "Loopback news (3)");

    tree->SetFocus();
    wxTextCtrl* editor = tree->EditLabel(feed);
    ASSERT_NE(editor, nullptr);
    editor->SetValue("Renamed (7)");
    tree->EndEditLabel(feed, false);
    guitest::RunEventsFor(50);
    EXPECT_STREQ(tree->GetLabel(feed).c_str(), "Renamed (3)") << "the real count, not the typed one";
    CFeedStore store;
    store.LoadChannel(uString("default.mdb"), site.Url());
    EXPECT_STREQ(store.channel.title.c_str(), "Renamed");
}

TEST_F(SubscriptionFrameTest, MovingAFeedMovesItsItemsOnlyWhenTheTargetGotThem)
{
    Site site("Moving", {20, 150, 30, 255}, 2);
    Start();
    ASSERT_TRUE(m_frame->AddSubscription(Find("First", kList), site.Url(), uString(), false, false));
    wxTreeItemId feed = tree->GetFirstChildItem(Find("First", kList));

    // Offline: the target cannot fetch, so the source keeps the feed.
    testsupport::HttpResponse gone;
    gone.status = 404;
    gone.body = "gone";
    site.server.serve("/feed.xml", gone);
    tree->DropItem(feed, Find("Second", kList), /*copy=*/false);
    // The store tells why the fetch failed, once; the window adds nothing.
    EXPECT_EQ(m_messages->texts.size(), 1u) << "the fetch error is shown";
    EXPECT_TRUE(m_prompt->shown.empty());
    EXPECT_EQ(Labels(Find("First", kList)), std::vector<std::string>{"Moving (2)"});
    EXPECT_EQ(Count("default.mdb", "item", site.Url()), 2);

    site.server.serveContent("/feed.xml",
                             feedsite::Rss("Moving", site.server.url("/site"),
                                           feedsite::Items(site.server.url("/site"), "Moving story", 1, 2)),
                             "application/rss+xml");
    tree->DropItem(tree->GetFirstChildItem(Find("First", kList)), Find("Second", kList), false);
    EXPECT_TRUE(Labels(Find("First", kList)).empty());
    EXPECT_EQ(Labels(Find("Second", kList)), std::vector<std::string>{"Moving (2)"});
    EXPECT_EQ(Count("default.mdb", "item", site.Url()), 0);
    EXPECT_EQ(Count("default.mdb", "channel", site.Url()), 0);
    EXPECT_EQ(Count("user0.mdb", "item", site.Url()), 2);
}

TEST_F(SubscriptionFrameTest, MarkReadClearsTheCountsAndUnsubscribeClearsTheRows)
{
    Site one("One", {230, 120, 20, 255}, 3);
    Site two("Two", {30, 90, 220, 255}, 2);
    Start();
    wxTreeItemId first = Find("First", kList);
    ASSERT_TRUE(m_frame->AddSubscription(first, one.Url(), uString(), false, false));
    ASSERT_TRUE(m_frame->AddSubscription(first, two.Url(), uString(), false, false));
    EXPECT_EQ(Labels(first), (std::vector<std::string>{"One (3)", "Two (2)"}));

    m_frame->SendMessage(WM_APP_MARKALLREAD, 0, ItemToParam(first));
    EXPECT_EQ(Labels(first), (std::vector<std::string>{"One", "Two"}));

    tree->SetRememberedItem(tree->GetFirstChildItem(first));
    m_prompt->Answer(wxCANCEL);
    m_frame->SendMessage(WM_APP_UNSUBSCRIBE);
    EXPECT_EQ(Labels(first).size(), 2u) << "cancelled";
    tree->SetRememberedItem(tree->GetFirstChildItem(first));
    m_frame->SendMessage(WM_APP_UNSUBSCRIBE);
    EXPECT_EQ(Labels(first), std::vector<std::string>{"Two"});
    for (const char* table : {"channel", "item", "[image]", "icon"})
        EXPECT_EQ(Count("default.mdb", table, one.Url()), 0) << table;
    EXPECT_EQ(Count("default.mdb", "item", two.Url()), 2);
}

TEST_F(SubscriptionFrameTest, DeletingAFeedTakesItsQueuedDownloadsWithIt)
{
    Site site("Casts", {230, 120, 20, 255}, 0);
    const std::string base = site.server.url("/site/feed.xml");
    site.server.serveContent("/feed.xml",
                             feedsite::Rss("Casts", base, feedsite::Items(base, "Casts story", 1, 2, true)),
                             "application/rss+xml");
    Start();
    ASSERT_TRUE(m_frame->AddSubscription(Find("First", kList), site.Url(), uString(), false,
                                         /*autoDownload=*/true));
    auto queued = [&]
    {
        int rows = 0;
        for (const CTransferItem& record : m_frame->GetDownloadManager()->GetItems())
            rows += record.feed == site.Url() ? 1 : 0;
        return rows;
    };
    ASSERT_EQ(queued(), 2) << "the enclosures are queued";

    tree->SetFocus();
    tree->SelectItem(tree->GetFirstChildItem(Find("First", kList)));
    Command(kDelete);
    EXPECT_EQ(m_prompt->Ids(), std::vector<int>{3014});
    EXPECT_TRUE(Labels(Find("First", kList)).empty());
    EXPECT_EQ(Count("default.mdb", "channel", site.Url()), 0);
    EXPECT_EQ(queued(), 0) << "nothing of the deleted feed is left to download";
}

// The file as the next start would read it, while the window still runs.
TEST_F(SubscriptionFrameTest, EachChangeToTheTreeIsInTheFileAtOnce)
{
    Start();
    const std::string file = Data("config.xml");
    auto stored = [&]
    {
        guitest::RunEventsFor(50);
        return testsupport::ReadFileBytes(file);
    };
    auto has = [&](const std::string& text) { return stored().find(text) != std::string::npos; };

    tree->SetRememberedItem(Find("Podcasts", kFolder));
    m_frame->SendMessage(WM_APP_NEWFOLDER);
    EXPECT_TRUE(has("<folder name=\"New Folder\"")) << stored();

    wxTreeItemId folder = Find("New Folder", kFolder);
    tree->SetFocus();
    wxTextCtrl* editor = tree->EditLabel(folder);
    ASSERT_NE(editor, nullptr);
    editor->SetValue("Harbours");
    tree->EndEditLabel(folder, false);
    EXPECT_TRUE(has("<folder name=\"Harbours\"")) << "renamed";
    EXPECT_FALSE(has("New Folder"));

    // Moved by a drop: under the other channel, and no longer where it was.
    tree->DropItem(Find("Harbours", kFolder), Find("Archive", kChannel), /*copy=*/false);
    guitest::RunEventsFor(50);
    std::vector<subscription::TreeNode> roots;
    uString setAside;
    ASSERT_EQ(subscription::ReadTreeFile(uFile(file.c_str()), roots, setAside),
              subscription::TreeFileStatus::kLoaded);
    ASSERT_EQ(roots.size(), 2u);
    ASSERT_EQ(roots[1].children.size(), 1u);
    EXPECT_STREQ(roots[1].children[0].label.c_str(), "Harbours");
    EXPECT_EQ(stored().find("Harbours"), stored().rfind("Harbours")) << "once only";

    tree->SetFocus();
    tree->SelectItem(Find("Harbours", kFolder));
    Command(kDelete);
    EXPECT_FALSE(has("Harbours")) << "removed";
    EXPECT_TRUE(has("<keyword name=\"Election\" value=\"vote or ballot\"/>"));
}

// A fresh profile's first list is named in the interface language, in the
// window and in the file; a list of that English name the user has is not.
TEST_F(SubscriptionFrameTest, AFreshGermanProfileNamesItsFirstListInGerman)
{
    const std::string file = m_home.file("Documents/Kestrova/subscription/config.xml");
    std::filesystem::remove(file);
    CPreference::Release(); // the next start finds no tree
    testsupport::GermanInterface german;
    ASSERT_TRUE(german.loaded);
    Start();
    EXPECT_TRUE(Find("Meine Feeds", kList).IsOk()) << testsupport::ReadFileBytes(file);
    EXPECT_NE(testsupport::ReadFileBytes(file).find("name=\"Meine Feeds\""), std::string::npos);

    CloseFrame();
    std::string stored = kTree;
    stored.replace(stored.find("\"First\""), 7, "\"My Feeds\"");
    std::ofstream(file) << stored;
    Restart();
    EXPECT_TRUE(Find("My Feeds", kList).IsOk());
}

TEST_F(SubscriptionFrameTest, AWatchKeepsItsPlainTitleThroughARestartAndItsProperties)
{
    Site site("Vote news", {230, 120, 20, 255}, 3);
    Start();
    ASSERT_TRUE(m_frame->AddSubscription(Find("First", kList), site.Url(), uString(), false, false));
    // Found by its keywords: its label carries the count.
    auto watch = [&]
    {
        return m_frame->FindTreeItem(uString("vote or ballot"), tree->GetFirstTopLevelItem(),
                                     CMainFrame::kFindByValue, kWatch);
    };
    auto counted = [&] { return tree->GetLabel(watch()) == "Election (3)"; };
    m_frame->SendMessage(WM_APP_REFRESHWATCH, 0, ItemToParam(watch()));
    ASSERT_TRUE(guitest::RunEventsUntil(counted)) << tree->GetLabel(watch()).c_str();

    Restart();
    const std::string stored = testsupport::ReadFileBytes(Data("config.xml"));
    EXPECT_NE(stored.find("<keyword name=\"Election\" value=\"vote or ballot\"/>"), std::string::npos)
        << stored;
    m_frame->SendMessage(WM_APP_REFRESHWATCH, 0, ItemToParam(watch()));
    ASSERT_TRUE(guitest::RunEventsUntil(counted));

    std::string shown;
    guitest::WhenDialogShown<CNewsWatchDlg>(
        [&](CNewsWatchDlg& dialog)
        {
            shown = wxDynamicCast(dialog.FindWindow(CNewsWatchDlg::kTitleEdit), wxTextCtrl)
                        ->GetValue()
                        .utf8_string();
            guitest::Press(dialog, wxID_OK);
        });
    m_frame->SendMessage(WM_APP_WATCHPROPERTIES, 0, ItemToParam(watch()));
    EXPECT_EQ(shown, "Election") << "the title without its count";
    EXPECT_TRUE(guitest::RunEventsUntil(counted)) << "saved without it, counted again";
    EXPECT_EQ(testsupport::ReadFileBytes(Data("config.xml")).find("Election ("), std::string::npos);
}

TEST_F(SubscriptionFrameTest, DeletingAFolderKeepsItsListsAndTheirFeeds)
{
    Site site("Kept", {20, 150, 30, 255}, 2);
    Start();
    ASSERT_TRUE(m_frame->AddSubscription(Find("Second", kList), site.Url(), uString(), false, false));
    wxTreeItemId podcasts = Find("Podcasts", kFolder);
    tree->SetFocus();
    tree->SelectItem(podcasts);
    m_prompt->Answer(wxNO);
    Command(kDelete);
    EXPECT_TRUE(Find("Podcasts", kFolder).IsOk()) << "answered no";
    Command(kDelete);
    EXPECT_EQ(m_prompt->Ids(), (std::vector<int>{3016, 3016}));
    EXPECT_FALSE(Find("Podcasts", kFolder).IsOk());
    EXPECT_FALSE(Find("Election", kWatch).IsOk()) << "the folder goes with its watch";
    wxTreeItemId rescued = Find("Second", kList);
    ASSERT_TRUE(rescued.IsOk());
    EXPECT_EQ(tree->GetItemParent(rescued), Find("News", kChannel));
    EXPECT_EQ(Count("user0.mdb", "item", site.Url()), 2) << "the list's database is kept";

    tree->SelectItem(Find("News", kChannel));
    Command(kDelete);
    EXPECT_EQ(m_prompt->Ids().back(), 3017) << "the first channel stays";
}

TEST_F(SubscriptionFrameTest, ADamagedTreeFileIsKeptAndAFreshOneWrittenAtClose)
{
    std::string damaged = "<Kestrova><channel name=\"Lost\"><newsfeed name=";
    std::ofstream(Data("config.xml")) << damaged;
    Start();
    EXPECT_EQ(m_prompt->Ids(), std::vector<int>{3011});
    EXPECT_TRUE(Labels(tree->GetRootItem()).empty());
    m_frame->SendMessage(WM_APP_NEWCHANNEL);
    CloseFrame();
    std::vector<std::string> bad;
    for (const auto& entry :
         std::filesystem::directory_iterator(m_home.file("Documents/Kestrova/subscription")))
        if (entry.path().filename().string().rfind("config.xml.bad-", 0) == 0)
            bad.push_back(entry.path().string());
    ASSERT_EQ(bad.size(), 1u);
    EXPECT_EQ(testsupport::ReadFileBytes(bad[0]), damaged);
    EXPECT_NE(testsupport::ReadFileBytes(m_home.file("Documents/Kestrova/subscription/config.xml"))
                  .find("New Channel"),
              std::string::npos);
}

// New Subscription suggests the clipboard's address; a user types another
// over it and presses Enter: the typed one is subscribed, and the suggested
// one is not even fetched.
TEST_F(SubscriptionFrameTest, TheAddressTypedIntoNewSubscriptionIsTheOneSubscribed)
{
    Site site("Typed news", {20, 120, 230, 255}, 2);
    Start();
    const uString suggested = site.Url("/suggested.xml");
    ASSERT_TRUE(SetClipboardText(suggested));
    bool closedByEnter = false;
    guitest::WhenDialogShown<CNewSubscriptionDlg>(
        [&](CNewSubscriptionDlg& dialog)
        {
            // The keys go to the window that has the keyboard, as a user's do.
            dialog.Raise();
            guitest::RunEventsUntil([&] { return dialog.IsActive(); });
            wxUIActionSimulator keys;
            keys.Text(site.Url().c_str());
            keys.Char(WXK_RETURN);
            closedByEnter = guitest::RunEventsUntil([&] { return !dialog.IsModal(); }, 15000);
            if (!closedByEnter)
                dialog.EndModal(wxID_CANCEL);
        });
    Command(kNewSubscription);
    EXPECT_TRUE(closedByEnter);
    EXPECT_EQ(Count("default.mdb", "channel", site.Url()), 1) << "the typed address";
    EXPECT_EQ(Labels(Find("First", kList)), std::vector<std::string>{"Typed news (2)"});
    for (const std::string& text : m_messages->texts)
        EXPECT_EQ(text.find("suggested.xml"), std::string::npos) << text;
    EXPECT_TRUE(site.server.requestsFor("/suggested.xml").empty());
}
