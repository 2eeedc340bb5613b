// Every dialog and panel opens at its laid-out size, centred on the frame,
// the first time a run opens it, under a window manager that draws frames:
// each is opened by a fresh copy of this program (the toolkit learns the
// frame's size only once per run), right after the main window is shown, and
// measured on the X server itself.
#include "CommandIds.h"
#include "FrameFixture.h"
#include "IgnoreXErrors.h"
#include "ModalDriver.h"
#include "common/MenuBuilder.h"
#include "dialogs/FeedBrowserDlg.h"
#include "dialogs/FeedSearchDlg.h"
#include "dialogs/MailDlgs.h"
#include "dialogs/OpmlDialogs.h"
#include "dialogs/SubscriptionDlgs.h"
#include "dialogs/TorrentCtrl.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <thread>
#include <wx/sizer.h>

namespace
{
constexpr const char* kChildVariable = "KESTROVA_FIRST_OPENING";
const std::vector<uString> kLists = {uString("Default List"), uString("Second List")};

// A top-level window as the X server shows it: its contents and the frame
// the window manager draws around them.
struct OnScreen
{
    wxRect client;
    wxRect outer;
};

class XScreen
{
public:
    XScreen() : m_display(XOpenDisplay(nullptr)) {}
    ~XScreen()
    {
        if (m_display != nullptr)
            XCloseDisplay(m_display);
    }
    bool IsOpen() const { return m_display != nullptr; }

    // True when a window manager runs: the window the root names for it
    // names itself too (one that ended leaves its stale name on the root).
    bool HasWindowManager() const
    {
        std::vector<long> named =
            CardinalsOf(DefaultRootWindow(m_display), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
        if (named.empty())
            return false;
        std::vector<long> own;
        {
            guitest::IgnoreXErrors ignore(m_display);
            own = CardinalsOf(static_cast<Window>(named[0]), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
        }
        return !own.empty() && own[0] == named[0];
    }

    // The viewable window of that title with the frame its window manager
    // reported; false while there is none yet.
    bool Find(const std::string& title, OnScreen& found) const
    {
        Window window = FindTitled(DefaultRootWindow(m_display), title);
        if (window == None)
            return false;
        std::vector<long> extents = CardinalsOf(window, "_NET_FRAME_EXTENTS", XA_CARDINAL);
        XWindowAttributes attributes{};
        if (extents.size() != 4 || !XGetWindowAttributes(m_display, window, &attributes))
            return false;
        int x = 0, y = 0;
        Window child = None;
        XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), 0, 0, &x, &y, &child);
        found.client = wxRect(x, y, attributes.width, attributes.height);
        const int left = static_cast<int>(extents[0]), right = static_cast<int>(extents[1]);
        const int top = static_cast<int>(extents[2]), bottom = static_cast<int>(extents[3]);
        found.outer =
            wxRect(x - left, y - top, attributes.width + left + right, attributes.height + top + bottom);
        return true;
    }

private:
    std::vector<long> CardinalsOf(Window window, const char* name, Atom type) const
    {
        Atom actualType = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::vector<long> values;
        if (XGetWindowProperty(m_display, window, XInternAtom(m_display, name, False), 0, 16, False, type,
                               &actualType, &format, &count, &after, &data) == Success &&
            data != nullptr && format == 32)
        {
            const long* longs = reinterpret_cast<const long*>(data);
            values.assign(longs, longs + count);
        }
        if (data != nullptr)
            XFree(data);
        return values;
    }

    Window FindTitled(Window window, const std::string& title) const
    {
        char* name = nullptr;
        bool match = XFetchName(m_display, window, &name) != 0 && name != nullptr && title == name;
        if (name != nullptr)
            XFree(name);
        XWindowAttributes attributes{};
        if (match && XGetWindowAttributes(m_display, window, &attributes) &&
            attributes.map_state == IsViewable)
            return window;
        Window root = None, parent = None;
        Window* children = nullptr;
        unsigned int count = 0;
        Window result = None;
        if (XQueryTree(m_display, window, &root, &parent, &children, &count) != 0)
        {
            for (unsigned int i = 0; i < count && result == None; ++i)
                result = FindTitled(children[i], title);
        }
        if (children != nullptr)
            XFree(children);
        return result;
    }

    Display* m_display;
};

// How each dialog or panel is opened: through the frame's command where the
// empty test profile allows it, else built as the frame builds it.
using Opener = std::function<void(CMainFrame& frame)>;

template <typename Dialog, typename... Arguments> Opener Built(Arguments... arguments)
{
    return [=](CMainFrame& frame)
    {
        Dialog dialog(arguments..., &frame);
        dialog.ShowModal();
    };
}

Opener Command(int id)
{
    return [id](CMainFrame& frame)
    {
        wxCommandEvent command(wxEVT_MENU, ui::MenuCommandId(id));
        frame.GetEventHandler()->ProcessEvent(command);
    };
}

const std::map<std::string, Opener>& Openers()
{
    static const std::map<std::string, Opener> openers = {
        {"export", Built<OPMLExport>(kLists, uString())},
        {"list-choice", Built<OPMLSubscribe>(kLists)},
        {"import", Built<OPMLImport>(kLists, std::vector<uString>{uString("http://127.0.0.1:1/feed.xml")},
                                     std::vector<uString>{uString("A feed")},
                                     std::vector<uString>{uString("About it")})},
        {"download-manager", Command(resources::cmd::kDownloadManager)},
        {"torrent-manager",
         [](CMainFrame& frame) { CTorrentCtrl(frame.GetDownloadManager(), &frame).ShowModal(); }},
        {"preferences", Command(resources::cmd::kPreferences)},
        {"about", Command(resources::cmd::kAbout)},
        {"open-url", Command(resources::cmd::kOpenUrl)},
        {"feed-properties", [](CMainFrame& frame) { CFeedPropertiesDlg(&frame).ShowModal(); }},
        {"new-subscription", Built<CNewSubscriptionDlg>(kLists)},
        {"news-watch", [](CMainFrame& frame) { CNewsWatchDlg(&frame).ShowModal(); }},
        {"login", Built<CPromptUserPassDlg>(uString("Login"), uString("reader"))},
        {"forward-mail", Built<CForwardMailDlg>(uString())},
        {"search", Built<CFeedSearchDlg>(kLists)},
        {"directory",
         [](CMainFrame& frame)
         {
             testsupport::TempDir folder;
             CFeedBrowserDlg(
                 &frame, [](std::uint32_t, const uString&) {}, uString(folder.file("directory.xml").c_str()),
                 uString(folder.path().c_str()))
                 .ShowModal();
         }},
    };
    return openers;
}

std::string Describe(const wxRect& rect)
{
    std::ostringstream text;
    text << rect.width << "x" << rect.height << "+" << rect.x << "+" << rect.y;
    return text.str();
}

class FirstOpeningChild : public FrameFixture
{
};
} // namespace

// The part a fresh copy of the program runs: it opens one dialog, checks it
// and ends; without the variable it has nothing to do.
TEST_F(FirstOpeningChild, OpensOneDialog)
{
    const char* name = std::getenv(kChildVariable);
    if (name == nullptr || Openers().count(name) == 0)
        GTEST_SKIP() << "run by FirstOpening.EveryDialogOpensLaidOutAndCentred";
    XScreen screen;
    ASSERT_TRUE(screen.IsOpen());

    // As the program places its window, and the dialog right after it, before
    // the window manager has said anything about either.
    CMainFrame* frame = MakeFrame();
    frame->SetSize(wxSize(1000, 700));
    frame->Centre();
    frame->Show();
    const std::string frameTitle = frame->GetTitle().utf8_string();

    bool measured = false;
    guitest::WhenDialogShownWithin<wxDialog>(
        20000,
        [&](wxDialog& dialog)
        {
            const std::string title = dialog.GetTitle().utf8_string();
            // The laid-out size is the one the dialog's sizer needs, at least.
            const wxSize least = dialog.GetSizer() != nullptr
                                     ? dialog.GetSizer()->ComputeFittingClientSize(&dialog)
                                     : dialog.GetClientSize();
            // Settled: both are on the screen with their frames and have not
            // moved for a while.
            OnScreen shown, owner, lastShown, lastOwner;
            int steady = 0;
            guitest::RunEventsUntil(
                [&]
                {
                    if (!screen.Find(title, shown) || !screen.Find(frameTitle, owner))
                        return false;
                    steady =
                        shown.outer == lastShown.outer && owner.outer == lastOwner.outer ? steady + 1 : 0;
                    lastShown = shown;
                    lastOwner = owner;
                    guitest::RunEventsFor(20);
                    return steady >= 15;
                },
                20000);
            if (steady < 15)
            {
                ADD_FAILURE() << title << " never settled on the screen";
                dialog.EndModal(wxID_CANCEL);
                return;
            }
            if (std::string(name) == "export")
                guitest::TakeScreenshot("export-dialog-first-opening");

            EXPECT_EQ(shown.client.GetSize(), dialog.GetClientSize())
                << title << ": the screen and the toolkit disagree on its size";
            EXPECT_GE(shown.client.width, least.x) << title << " is " << Describe(shown.client);
            EXPECT_GE(shown.client.height, least.y) << title << " is " << Describe(shown.client);
            const wxPoint centre(shown.outer.x + shown.outer.width / 2,
                                 shown.outer.y + shown.outer.height / 2);
            const wxPoint frameCentre(owner.outer.x + owner.outer.width / 2,
                                      owner.outer.y + owner.outer.height / 2);
            EXPECT_LE(std::abs(centre.x - frameCentre.x), 1)
                << title << " at " << Describe(shown.outer) << ", frame at " << Describe(owner.outer);
            EXPECT_LE(std::abs(centre.y - frameCentre.y), 1)
                << title << " at " << Describe(shown.outer) << ", frame at " << Describe(owner.outer);
            measured = true;
            dialog.EndModal(wxID_CANCEL);
        });
    Openers().at(name)(*frame);
    EXPECT_TRUE(measured) << name << " did not open";
}

TEST(FirstOpening, EveryDialogOpensLaidOutAndCentred)
{
    XScreen screen;
    ASSERT_TRUE(screen.IsOpen());
    testsupport::TempHome home;
    // The toolkit guesses no frame when no window manager draws one.
    std::unique_ptr<testsupport::ChildProcess> manager;
    if (!screen.HasWindowManager())
    {
        const char* openbox = "/usr/bin/openbox";
        if (!std::filesystem::exists(openbox))
            GTEST_SKIP() << "openbox is not installed";
        manager = std::make_unique<testsupport::ChildProcess>(std::vector<std::string>{openbox},
                                                              home.file("openbox.log"));
        ASSERT_TRUE(guitest::RunEventsUntil([&] { return screen.HasWindowManager(); }, 20000))
            << manager->log();
    }
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    for (const auto& [name, opener] : Openers())
    {
        const std::string log = home.file(name + ".log");
        testsupport::ChildProcess child({self, "--gtest_filter=FirstOpeningChild.OpensOneDialog"}, log,
                                        {std::string(kChildVariable) + "=" + name});
        EXPECT_EQ(child.waitForExit(120000), 0) << name << ":\n" << child.log();
        std::istringstream lines(child.log());
        for (std::string line; std::getline(lines, line);)
        {
            EXPECT_EQ(line.find("Gtk-WARNING"), std::string::npos) << name << ": " << line;
            EXPECT_EQ(line.find("Gtk-CRITICAL"), std::string::npos) << name << ": " << line;
        }
    }
}
