#include "FrameFixture.h"
#include "ModalDriver.h"
#include "SubscriptionFrameFixture.h"
#include "common/MenuBuilder.h"
#include "common/Messages.h"
#include "dialogs/PrefPages.h"
#include "dialogs/TreePropSheet.h"
#include "downloads/DownloadManager.h"
#include "feeds/FeedImport.h"
#include "feeds/WebFetch.h"
#include "support/LocalHttpServer.h"

#include <wx/combobox.h>

namespace
{
wxTextCtrl* Edit(wxWindow& page, int id)
{
    return wxDynamicCast(page.FindWindow(id), wxTextCtrl);
}

class PreferencesFrameTest : public FrameFixture
{
protected:
    // Runs the frame's command; `act` works in the sheet once it is shown.
    bool RunCommand(int command, std::function<void(CTreePropSheet&)> act)
    {
        bool shown = false;
        guitest::WhenDialogShown<CTreePropSheet>(
            [&](CTreePropSheet& sheet)
            {
                shown = true;
                act(sheet);
                if (sheet.IsModal())
                    guitest::Press(sheet, wxID_CANCEL);
            });
        wxCommandEvent event(wxEVT_MENU, ui::MenuCommandId(command));
        m_frame->GetEventHandler()->ProcessEvent(event);
        return shown;
    }
    std::string ConfigFile() const { return m_home.file("Documents/Kestrova/config.xml"); }
};

TEST_F(PreferencesFrameTest, TheRefreshRateChangedWithOkIsStoredAndReArmsTheTimer)
{
    CMainFrame& frame = *ShowFrame();
    ASSERT_EQ(frame.GetRefreshInterval(), 5 * 60000);
    ASSERT_TRUE(RunCommand(136,
                           [](CTreePropSheet& sheet)
                           {
                               EXPECT_EQ(sheet.GetActiveIndex(), 0);
                               EXPECT_EQ(sheet.GetPageCount(), 5) << "no engine: no Bittorrent page";
                               Edit(*sheet.GetActivePage(), PrefFrameGeneral::kRefreshEdit)->ChangeValue("3");
                               wxDynamicCast(sheet.FindWindow(PrefFrameGeneral::kRefreshUnitCombo),
                                             wxComboBox)
                                   ->SetValue("hour");
                               guitest::Press(sheet, wxID_OK);
                           }));
    EXPECT_NE(testsupport::ReadFileBytes(ConfigFile()).find("nRefreshRate=\"180\""), std::string::npos);
    EXPECT_EQ(frame.GetRefreshInterval(), 180 * 60000);
    EXPECT_EQ(frame.GetTimer(CMainFrame::kRefreshTimer).GetInterval(), 180 * 60000);
    EXPECT_TRUE(frame.GetTimer(CMainFrame::kRefreshTimer).IsRunning());

    // Cancel after an edit stores nothing.
    ASSERT_TRUE(
        RunCommand(158, [](CTreePropSheet& sheet)
                   { Edit(*sheet.GetActivePage(), PrefFrameGeneral::kRefreshEdit)->ChangeValue("9"); }));
    EXPECT_EQ(CPreference::GetInstance()->GetGeneralSection().nRefreshRate, 180);
}

TEST_F(PreferencesFrameTest, AskedForThePersonalSettingsItOpensOnTheLastOfSixPages)
{
    CMainFrame::Options options;
    CMainFrame& frame = *ShowFrame(wxSize(1000, 700), options);
    ASSERT_NE(frame.GetDownloadManager()->GetEngine(), nullptr);
    int pages = 0;
    wxString caption;
    guitest::WhenDialogShown<CTreePropSheet>(
        [&](CTreePropSheet& sheet)
        {
            pages = sheet.GetPageCount();
            caption = sheet.GetActivePage()->GetCaption();
            guitest::Press(sheet, wxID_CANCEL);
        });
    frame.SendMessage(WM_APP_SHOWPREFERENCES);
    EXPECT_EQ(pages, 6);
    EXPECT_EQ(caption, "Personal");
}

TEST_F(PreferencesFrameTest, ANewPodcastFolderIsWhereTheNextDownloadIsFiled)
{
    testsupport::LocalHttpServer server;
    server.serveContent("/show.bin", "episode bytes");
    Configure(
        [](CPreference& preference)
        {
            CPreference::DownloadSection download = preference.GetDownloadSection();
            download.nMinFreeSpace = 0;
            preference.SetDownloadSection(download);
        });
    CMainFrame& frame = *ShowFrame();
    std::string folder = m_home.file("Podcasts");
    std::filesystem::create_directories(folder); // a missing one is refused, never made
    ASSERT_TRUE(
        RunCommand(136,
                   [&](CTreePropSheet& sheet)
                   {
                       sheet.SetActivePage(3);
                       Edit(*sheet.GetActivePage(), PrefFramePodcast::kFolderEdit)->ChangeValue(folder);
                       guitest::Press(sheet, wxID_OK);
                   }));
    CTransferRequest request;
    request.label = "News";
    request.listName = "default.mdb";
    request.feed = server.url("/feed.xml").c_str();
    request.item = server.url("/item").c_str();
    request.link = server.url("/show.bin").c_str();
    ASSERT_TRUE(frame.GetDownloadManager()->AddItem(request));
    guitest::RunEventsUntil([&] { return !frame.GetDownloadManager()->IsBusy(); });
    frame.DownloadNow();
    std::string filed = folder + "/My Download/News/show.bin";
    EXPECT_TRUE(guitest::RunEventsUntil([&] { return std::filesystem::exists(filed); }, 30000)) << filed;
    EXPECT_NE(testsupport::ReadFileBytes(ConfigFile()).find("strPodcastDirectory=\"" + folder + "\""),
              std::string::npos);
}

TEST_F(PreferencesFrameTest, ANewProxyCarriesTheNextFetch)
{
    testsupport::LocalHttpServer site;
    testsupport::LocalHttpServer proxy;
    std::string target = site.url("/feed.xml");
    proxy.serveContent(target, "through the proxy", "text/plain");
    ShowFrame();
    ASSERT_TRUE(
        RunCommand(136,
                   [&](CTreePropSheet& sheet)
                   {
                       sheet.SetActivePage(2);
                       wxWindow& page = *sheet.GetActivePage();
                       Edit(page, PrefFrameProxy::kHostEdit)->ChangeValue("127.0.0.1");
                       Edit(page, PrefFrameProxy::kPortEdit)->ChangeValue(std::to_string(proxy.port()));
                       guitest::Press(sheet, wxID_OK);
                   }));
    uString body;
    ASSERT_TRUE(FetchUrlToString(uString(target.c_str()), body, 10, nullptr, false, false));
    EXPECT_STREQ(body.c_str(), "through the proxy");
    ASSERT_EQ(proxy.requestCount(), 1u);
    EXPECT_EQ(proxy.requests()[0].target, target);
    EXPECT_EQ(site.requestCount(), 0u);
}

using subscriptiontest::Site;
using subscriptiontest::SubscriptionFrameTest;

TEST_F(SubscriptionFrameTest, AFeedsOwnPropertiesRenameItAndChangeItsRefreshInterval)
{
    Site site("Loopback news", {20, 120, 230, 255}, 2);
    Start();
    ASSERT_TRUE(
        m_frame->AddSubscription(Find("First", subscription::kList), site.Url(), uString(), false, false));
    wxTreeItemId feed = tree->GetFirstChildItem(Find("First", subscription::kList));
    tree->SetRememberedItem(feed);
    guitest::WhenDialogShown<CFeedPropertiesDlg>(
        [](CFeedPropertiesDlg& dialog)
        {
            wxDynamicCast(dialog.FindWindow(CFeedPropertiesDlg::kTitleEdit), wxTextCtrl)
                ->ChangeValue("Renamed");
            wxDynamicCast(dialog.FindWindow(CFeedPropertiesDlg::kIntervalEdit), wxTextCtrl)->ChangeValue("2");
            auto* unit = wxDynamicCast(dialog.FindWindow(CFeedPropertiesDlg::kIntervalUnitList), wxChoice);
            unit->SetSelection(1);
            guitest::Press(dialog, wxID_OK);
        });
    m_frame->SendMessage(WM_APP_FEEDPROPERTIES);
    EXPECT_STREQ(tree->GetLabel(feed).c_str(), "Renamed (2)");
    CFeedStore store;
    store.SetDatabase(uString("default.mdb"));
    EXPECT_EQ(store.GetChannelTtl(site.Url()), 120);
    store.LoadChannel(uString("default.mdb"), site.Url());
    EXPECT_STREQ(store.channel.title.c_str(), "Renamed");
}

// A feed imported without a title shows its address until its first fetch
// names it: its properties confirmed unchanged must not make that address
// its title, or the fetch would never name it.
TEST_F(SubscriptionFrameTest, AnUntitledFeedsPropertiesLeftAsTheyWereGiveItNoTitle)
{
    const uString address("http://127.0.0.1:9/never-fetched.xml");
    Start();
    {
        CFeedStore store;
        feeds::ImportCounts counts;
        ASSERT_TRUE(feeds::AddFeedsUnfetched(store, uString("default.mdb"), {{address, uString(), uString()}},
                                             counts));
    }
    Restart();
    tree->Expand(Find("First", subscription::kList));
    guitest::RunEventsFor(100);
    wxTreeItemId feed = tree->GetFirstChildItem(Find("First", subscription::kList));
    ASSERT_TRUE(feed.IsOk());
    tree->SetRememberedItem(feed);
    uString shown;
    guitest::WhenDialogShown<CFeedPropertiesDlg>(
        [&](CFeedPropertiesDlg& dialog)
        {
            shown = uString(wxDynamicCast(dialog.FindWindow(CFeedPropertiesDlg::kTitleEdit), wxTextCtrl)
                                ->GetValue()
                                .utf8_str());
            guitest::Press(dialog, wxID_OK);
        });
    m_frame->SendMessage(WM_APP_FEEDPROPERTIES);
    EXPECT_STREQ(shown.c_str(), address.c_str()) << "shown under its address";
    CFeedStore store;
    store.LoadChannel(uString("default.mdb"), address);
    ASSERT_EQ(store.errorCode, 0);
    EXPECT_TRUE(store.channel.title.isEmpty()) << store.channel.title.c_str();
}
} // namespace
