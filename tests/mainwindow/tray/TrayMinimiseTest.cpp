// Minimising the real main frame under a window manager, as a click on the
// title bar's button does, with a notification area that embeds icons.
#include "FakeTrayHost.h"
#include "FrameFixture.h"
#include "TrayDesktop.h"
#include "common/Messages.h"
#include "feeds/RefreshHost.h"
#include "mainwindow/TaskbarNotifier.h"
#include "mainwindow/TrayIcon.h"
#include "support/LocalHttpServer.h"

#include <filesystem>
#include <sqlite3.h>

namespace
{
using State = TrayDesktop::WindowState;

class TrayMinimiseTest : public FrameFixture
{
protected:
    // Starts the desktop (the tray too, unless told not to) and shows the frame on it.
    CMainFrame* StartOn(bool withTray = true)
    {
        m_desktop = std::make_unique<TrayDesktop>(m_home.path(), withTray);
        if (!m_desktop->Missing().empty())
            return nullptr;
        EXPECT_TRUE(m_desktop->IsReady()) << "the window manager or the tray did not come up";
        CMainFrame* frame = ShowFrame();
        m_window = TrayDesktop::XWindowOf(frame);
        EXPECT_TRUE(guitest::RunEventsUntil([&] { return m_desktop->StateOf(m_window) == State::kNormal; }));
        return frame;
    }
    void TearDown() override
    {
        FrameFixture::TearDown();
        m_desktop.reset();
    }

    // Minimises through the window manager and waits until the window is in the tray.
    bool MinimiseIntoTray()
    {
        m_desktop->Minimise(m_window);
        bool inTray = guitest::RunEventsUntil(
            [&] {
                return m_desktop->EmbeddedIcons().size() == 1 &&
                       m_desktop->StateOf(m_window) == State::kWithdrawn;
            },
            10000);
        // What the toolkit reports about the hidden window arrives too.
        guitest::RunEventsFor(500);
        return inTray;
    }

    std::unique_ptr<TrayDesktop> m_desktop;
    unsigned long m_window = 0;
};

std::string Rss(const std::string& link, const std::vector<std::string>& titles)
{
    std::string items;
    for (const std::string& title : titles)
        items += "<item><title>" + title + "</title><link>" + link + "/" + title + "</link></item>";
    return "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Kestrel news</title><link>" + link +
           "</link><description>d</description>" + items + "</channel></rss>";
}
} // namespace

// Minimise, double-click the icon, and the same again: each time the window
// goes into the tray (the icon really there, the window withdrawn) and comes
// back from it as an ordinary window.
TEST_F(TrayMinimiseTest, MinimisingPutsTheWindowInTheTrayEveryTimeAndADoubleClickRestoresIt)
{
    CMainFrame* frame = StartOn();
    if (frame == nullptr)
        GTEST_SKIP() << m_desktop->Missing() << " is not installed";

    for (int round = 1; round <= 2; ++round)
    {
        SCOPED_TRACE("minimise number " + std::to_string(round));
        ASSERT_TRUE(MinimiseIntoTray());
        std::vector<wxRect> icons = m_desktop->EmbeddedIcons();
        ASSERT_EQ(icons.size(), 1u) << "the icon stays in the tray";
        EXPECT_EQ(m_desktop->StateOf(m_window), State::kWithdrawn);
        EXPECT_TRUE(frame->IsHiddenInTray());
        EXPECT_TRUE(frame->GetRefreshHost()->IsHiddenInTray()) << "update passes hear of it";
        if (round == 1)
            guitest::TakeScreenshot("tray-icon-after-minimise");

        guitest::ClickAt(icons[0].GetPosition() + wxSize(icons[0].width / 2, icons[0].height / 2), true);
        ASSERT_TRUE(guitest::RunEventsUntil(
            [&]
            { return m_desktop->StateOf(m_window) == State::kNormal && m_desktop->IsOnScreen(m_window); }))
            << "the double-click brought the window back, not minimised";
        EXPECT_FALSE(frame->IsHiddenInTray());
        EXPECT_FALSE(frame->GetRefreshHost()->IsHiddenInTray());
        EXPECT_TRUE(guitest::RunEventsUntil([&] { return m_desktop->EmbeddedIcons().empty(); }))
            << "the icon leaves the tray";
    }
}

// Started into the tray (a new user's setting) and brought back, as a second
// start does: whenever a stop comes on the way, the place stored is where
// the frame is (the place kept at each move the toolkit reports is read at
// the next one).
TEST_F(TrayMinimiseTest, AWindowStartedIntoTheTrayKeepsItsPlaceWhenItComesBack)
{
    m_desktop = std::make_unique<TrayDesktop>(m_home.path());
    if (!m_desktop->Missing().empty())
        GTEST_SKIP() << m_desktop->Missing() << " is not installed";
    ASSERT_TRUE(m_desktop->IsReady());
    const wxRect given(128, 100, 900, 600);
    CMainFrame* frame = MakeFrame();
    frame->PlaceAt(given);
    frame->Show();
    frame->Iconize(true);
    frame->OnMinimised();
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return frame->IsHiddenInTray(); }, 10000));

    std::vector<wxPoint> places;
    auto note = [&](wxEvent& event)
    {
        if (!frame->GetNormalRect().IsEmpty())
            places.push_back(frame->GetNormalRect().GetPosition());
        event.Skip();
    };
    frame->Bind(wxEVT_MOVE, note);
    frame->Bind(wxEVT_SIZE, note);
    frame->SendMessage(WM_APP_RESTOREWINDOW);
    const unsigned long window = TrayDesktop::XWindowOf(frame);
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return m_desktop->IsOnScreen(window); }, 10000));
    guitest::RunEventsFor(500);
    for (const wxPoint& place : places)
        EXPECT_EQ(place, given.GetPosition());
    CloseFrame();
    int left = 0, top = 0, width = 0, height = 0;
    CPreference::GetInstance()->GetWindowRect(left, top, width, height);
    EXPECT_EQ(wxRect(left, top, width, height), given);
}

// A tray that owns its place but never takes the icon (or has not yet): the
// window stays an ordinary minimised one, and goes into the tray once the
// icon is really there. When the tray goes away, the window is minimised again.
TEST_F(TrayMinimiseTest, TheWindowIsHiddenOnlyWhileTheTrayHoldsTheIcon)
{
    auto slowTray = std::make_unique<FakeTrayHost>();
    ASSERT_TRUE(slowTray->IsRunning());
    CMainFrame* frame = StartOn(/*withTray=*/false);
    if (frame == nullptr)
        GTEST_SKIP() << m_desktop->Missing() << " is not installed";

    m_desktop->Minimise(m_window);
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return m_desktop->StateOf(m_window) != State::kNormal; }));
    guitest::RunEventsFor(1000);
    EXPECT_EQ(m_desktop->StateOf(m_window), State::kIconic) << "the icon is nowhere to be seen yet";
    EXPECT_FALSE(frame->IsHiddenInTray());
    EXPECT_TRUE(frame->GetTrayIcon()->IsShown()) << "asked for, the tray may take it later";

    ASSERT_TRUE(guitest::RunEventsUntil(
        [&]
        {
            slowTray->Pump();
            return m_desktop->StateOf(m_window) == State::kWithdrawn;
        }))
        << "the tray took the icon: the window goes into it";
    EXPECT_TRUE(frame->IsHiddenInTray());
    EXPECT_TRUE(frame->GetTrayIcon()->IsEmbedded());

    slowTray.reset();
    ASSERT_TRUE(guitest::RunEventsUntil([&] { return m_desktop->StateOf(m_window) == State::kIconic; }))
        << "with the tray gone the window is an ordinary minimised one again";
    EXPECT_FALSE(frame->IsHiddenInTray());
}

// After a minimise by the user, a pass that stores new items shows their
// titles in the pop-up notifier.
TEST_F(TrayMinimiseTest, NewItemsOfAPassWhileInTheTrayShowInTheNotifier)
{
    testsupport::LocalHttpServer server;
    server.serveContent("/news.xml", Rss(server.url("/site"), {"Kestrel nests found", "Falcon sighted"}),
                        "text/xml");
    std::string list =
        CPreference::GetInstance()->GetSubscriptionDir().getPath().c_str() + std::string("/default.mdb");
    std::filesystem::copy_file(KESTROVA_LIST_TEMPLATE, list,
                               std::filesystem::copy_options::overwrite_existing);
    CMainFrame* frame = StartOn();
    if (frame == nullptr)
        GTEST_SKIP() << m_desktop->Missing() << " is not installed";
    ASSERT_TRUE(MinimiseIntoTray());

    // Subscribed now, so this pass stores every item as new.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(list.c_str(), &db), SQLITE_OK);
    std::string sql = "INSERT INTO channel (feed, title, ttl, lastupdate) VALUES ('" +
                      server.url("/news.xml") + "', 'x', 0, '2000-01-01 00:00:00')";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
    frame->SetListCollector([](int) { return std::vector<uString>{"default.mdb"}; });
    frame->RefreshAll();

    CTaskbarNotifier& notifier = *frame->GetNotifier();
    ASSERT_TRUE(
        guitest::RunEventsUntil([&] { return notifier.GetState() == notifier::State::Waiting; }, 30000))
        << "the notifier never came up";
    EXPECT_TRUE(notifier.IsShown());
    EXPECT_NE(notifier.GetText().Find("Kestrel nests found"), wxNOT_FOUND) << notifier.GetText();
    EXPECT_NE(notifier.GetText().Find("Falcon sighted"), wxNOT_FOUND) << notifier.GetText();
    guitest::TakeScreenshot("notifier");
    EXPECT_TRUE(frame->IsHiddenInTray()) << "the window stays in the tray";
}
