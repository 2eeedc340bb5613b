// Every dialog and panel opens at its laid-out size, centred on the frame,
// with its whole title in the frame's bar and every label whole, the first
// time a run opens it, in each language the program ships, under a window
// manager that draws frames: each is opened by a fresh copy of this program
// (the toolkit learns the frame's size only once per run), right after the
// main window is shown, and measured on the X server itself.
#include "CommandIds.h"
#include "FrameFixture.h"
#include "IgnoreXErrors.h"
#include "ModalDriver.h"
#include "common/FetchProgress.h"
#include "common/MenuBuilder.h"
#include "dialogs/FeedBrowserDlg.h"
#include "dialogs/FeedSearchDlg.h"
#include "dialogs/MailDlgs.h"
#include "dialogs/OpmlDialogs.h"
#include "dialogs/SubscriptionDlgs.h"
#include "dialogs/TorrentCtrl.h"
#include "dialogs/XListCtrl.h"
#include "downloads/TransferFigures.h"
#include "downloads/TransferItem.h"
#include "foundation/uTranslation.h"
#include "support/ChildProcess.h"
#include "support/ScriptedSmtpServer.h"
#include "support/TempDir.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <thread>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/listctrl.h>
#include <wx/progdlg.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

namespace
{
constexpr const char* kChildVariable = "KESTROVA_FIRST_OPENING";
// The interface languages the program ships: its own and each catalog's.
const std::vector<std::string> kLanguages = {"en_US", "de"};
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

    // The title as the toolkit sets it whole, in UTF-8 (the older name
    // property holds only what Latin-1 can).
    std::string NameOf(Window window) const
    {
        Atom actualType = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::string name;
        if (XGetWindowProperty(m_display, window, XInternAtom(m_display, "_NET_WM_NAME", False), 0, 1024,
                               False, XInternAtom(m_display, "UTF8_STRING", False), &actualType, &format,
                               &count, &after, &data) == Success &&
            data != nullptr && format == 8)
            name.assign(reinterpret_cast<const char*>(data), count);
        if (data != nullptr)
            XFree(data);
        return name;
    }

    Window FindTitled(Window window, const std::string& title) const
    {
        bool match = NameOf(window) == title;
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

// The stalled server the send in progress talks to.
std::string stalledMailServer;

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
                                     std::vector<uString>{uString("Ö-Verzeichnis der Feeds aus aller Welt")},
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
        // A send to a server that never greets, while it says what it does.
        {"sending-mail",
         [](CMainFrame& frame)
         {
             testsupport::ScriptedSmtpServer stalled(testsupport::ScriptedSmtpServer::Stalled());
             stalledMailServer = stalled.address();
             CMimeMessage message;
             message.SetSender("zoe@example.test");
             message.AddRecipient("ann@example.test");
             CMailSendDlg(&frame, message, stalled.address(), nullptr).ShowModal();
         }},
        {"forward-mail", Built<CForwardMailDlg>(uString())},
        {"search", Built<CFeedSearchDlg>(kLists)},
        // A fetch's progress, under the longest caption the window gives one.
        {"progress",
         [](CMainFrame& frame)
         {
             ui::RunFetch(&frame, uString("Look for News Feed from Current Page"),
                          uString("http://127.0.0.1:1/"),
                          [](const std::atomic<bool>& abort)
                          {
                              while (!abort)
                                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
                              return false;
                          });
         }},
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

// The least widths the layout gives the lists' columns, by the list's id;
// -1 where the layout computes one from the list's width.
const std::map<std::string, std::pair<int, std::vector<int>>> kOwnColumnWidths = {
    {"import", {OPMLImport::kFeedList, {-1, 100, 300, 300, 300}}},
    {"torrent-manager", {CTorrentCtrl::kDetailId, {160, -1}}},
};

// A fetch's progress and a send end with their Cancel.
void Close(wxDialog& dialog)
{
    if (dialog.IsModal() && dynamic_cast<CMailSendDlg*>(&dialog) == nullptr)
        dialog.EndModal(wxID_CANCEL);
    else
        guitest::Press(dialog, wxID_CANCEL);
}

// The labels of the dialog that are shown smaller than their text needs.
std::vector<std::string> CutLabels(wxWindow* parent)
{
    std::vector<std::string> cut;
    for (wxWindow* child : parent->GetChildren())
    {
        if (child->IsTopLevel())
            continue;
        if (wxDynamicCast(child, wxStaticText) || wxDynamicCast(child, wxButton) ||
            wxDynamicCast(child, wxCheckBox) || wxDynamicCast(child, wxRadioButton) ||
            wxDynamicCast(child, wxStaticBox))
        {
            const wxSize best = child->GetBestSize();
            const wxSize size = child->GetSize();
            if (child->IsShownOnScreen() && (size.x < best.x || size.y < best.y))
                cut.push_back(child->GetLabel().utf8_string() + " (" + std::to_string(size.x) + " of " +
                              std::to_string(best.x) + ")");
        }
        std::vector<std::string> inner = CutLabels(child);
        cut.insert(cut.end(), inner.begin(), inner.end());
    }
    return cut;
}

// The names of the states the Status column of the BitTorrent list and the
// Progress column of the download list show.
std::vector<uString> KnownStates(const uString& column)
{
    std::vector<uString> names;
    for (int state = 0; column == "Status" && state < CTorrentStatus::kStateCount; ++state)
        names.emplace_back(TorrentStateName(state));
    for (int status = 0; column == "Progress" && status < CTransferItem::kStatusCount; ++status)
        names.emplace_back(std::string(uTr(CTransferItem::GetStatusName(status))).c_str());
    return names;
}

// The list headers and cells shown narrower than their text and margins, and
// the columns a list at its first size hides.
std::vector<std::string> CutColumns(wxWindow* parent)
{
    std::vector<std::string> cut;
    auto check = [&](const wxWindow& list, const wxString& text, int width)
    {
        if (!text.empty() && width < list.GetTextExtent(text).x + 8)
            cut.push_back(text.utf8_string() + " in " + std::to_string(width));
    };
    for (wxWindow* child : parent->GetChildren())
    {
        auto* list = wxDynamicCast(child, wxListCtrl);
        for (int column = 0; list != nullptr && list->InReportView() && column < list->GetColumnCount();
             ++column)
        {
            wxListItem header;
            header.SetMask(wxLIST_MASK_TEXT);
            list->GetColumn(column, header);
            for (long row = -1; row < list->GetItemCount(); ++row)
                check(*list, row < 0 ? header.GetText() : list->GetItemText(row, column),
                      list->GetColumnWidth(column));
        }
        if (auto* xlist = dynamic_cast<CXListCtrl*>(child))
        {
            int right = 0;
            for (int column = 0; column < xlist->GetModel().GetColumns(); ++column)
            {
                const XListColumn* header = xlist->GetModel().GetColumn(column);
                const wxString title = wxString::FromUTF8(std::string(uTr(header->title.c_str())));
                check(*xlist->GetHeader(), title, header->width);
                // What a transfer's state shows, each state's name.
                for (const uString& cell : KnownStates(header->title))
                    check(*xlist, wxString::FromUTF8(cell.c_str()), header->width);
                right += header->width;
                if (!title.empty() && right > xlist->GetBody()->GetClientSize().x)
                    cut.push_back(title.utf8_string() + " hidden at " + std::to_string(right));
            }
        }
        std::vector<std::string> inner = child->IsTopLevel() ? std::vector<std::string>() : CutColumns(child);
        cut.insert(cut.end(), inner.begin(), inner.end());
    }
    return cut;
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
    const std::string language = std::getenv("LANGUAGE") != nullptr ? std::getenv("LANGUAGE") : "";
    const bool german = language == "de";
    XScreen screen;
    ASSERT_TRUE(screen.IsOpen());

    // As the program places its window, and the dialog right after it, before
    // the window manager has said anything about either.
    CMainFrame* frame = MakeFrame();
    frame->SetSize(wxSize(1000, 700));
    frame->Centre();
    frame->Show();
    const std::string frameTitle = frame->GetTitle().utf8_string();
    EXPECT_EQ(uGetCatalog() != nullptr, german) << language;

    bool measured = false;
    guitest::WhenDialogShownWithin<wxDialog>(
        20000,
        [&](wxDialog& dialog)
        {
            const std::string title = dialog.GetTitle().utf8_string();
            if (auto* sending = dynamic_cast<CMailSendDlg*>(&dialog))
            {
                const std::string connecting =
                    german ? "Verbindung mit " + stalledMailServer + " wird hergestellt ..."
                           : "Connecting to " + stalledMailServer + " ...";
                guitest::RunEventsUntil([&] { return sending->GetStatusText().utf8_string() == connecting; },
                                        15000);
                EXPECT_EQ(sending->GetStatusText().utf8_string(), connecting);
            }
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
                Close(dialog);
                return;
            }
            if (std::string(name) == "export" || std::string(name) == "list-choice" ||
                std::string(name) == "progress")
                guitest::TakeScreenshot(std::string(name) + "-dialog-first-opening-" + language);

            EXPECT_EQ(shown.client.GetSize(), dialog.GetClientSize())
                << title << ": the screen and the toolkit disagree on its size";
            EXPECT_GE(shown.client.width, least.x) << title << " is " << Describe(shown.client);
            EXPECT_GE(shown.client.height, least.y) << title << " is " << Describe(shown.client);
            // The toolkit's progress dialog places itself.
            if (dynamic_cast<wxGenericProgressDialog*>(&dialog) == nullptr)
            {
                const wxPoint centre(shown.outer.x + shown.outer.width / 2,
                                     shown.outer.y + shown.outer.height / 2);
                const wxPoint frameCentre(owner.outer.x + owner.outer.width / 2,
                                          owner.outer.y + owner.outer.height / 2);
                EXPECT_LE(std::abs(centre.x - frameCentre.x), 1)
                    << title << " at " << Describe(shown.outer) << ", frame at " << Describe(owner.outer);
                EXPECT_LE(std::abs(centre.y - frameCentre.y), 1)
                    << title << " at " << Describe(shown.outer) << ", frame at " << Describe(owner.outer);
            }

            // The bar shows the title in bold beside the window's icon and
            // three buttons, each a square the bar's height, and pads them:
            // a frame narrower than that ends in the middle of the title.
            const wxFont bold = dialog.GetFont().Bold();
            int titleWidth = 0;
            dialog.GetTextExtent(dialog.GetTitle(), &titleWidth, nullptr, nullptr, nullptr, &bold);
            const int bar = shown.client.y - shown.outer.y;
            EXPECT_GE(shown.outer.width, titleWidth + 5 * bar)
                << title << " (" << titleWidth << " wide) in a frame of " << Describe(shown.outer);
            EXPECT_EQ(CutLabels(&dialog), std::vector<std::string>()) << title;
            // A text longer than its column widens it, in any language; no
            // column is narrower than the layout gives it.
            EXPECT_EQ(CutColumns(&dialog), std::vector<std::string>()) << title;
            if (kOwnColumnWidths.count(name) != 0)
            {
                const auto& [id, widths] = kOwnColumnWidths.at(name);
                auto* list = wxDynamicCast(dialog.FindWindow(id), wxListCtrl);
                for (int column = 0; column < static_cast<int>(widths.size()); ++column)
                    EXPECT_TRUE(widths[column] < 0 ||
                                (list != nullptr && list->GetColumnWidth(column) >= widths[column]))
                        << column;
            }
            if (std::string(name) == "torrent-manager")
                guitest::TakeScreenshot("torrent-manager-first-opening-" + language);
            measured = true;
            Close(dialog);
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
    const bool catalogs =
        std::filesystem::exists(std::string(std::getenv("KESTROVA_PROGRAM_DIR")) + "/languages/de.mo");
    for (const std::string& language : kLanguages)
    {
        if (language != kLanguages.front() && !catalogs)
            continue;
        for (const auto& [name, opener] : Openers())
        {
            const std::string row = name + " in " + language;
            const std::string log = home.file(name + "-" + language + ".log");
            testsupport::ChildProcess child(
                {self, "--gtest_filter=FirstOpeningChild.OpensOneDialog"}, log,
                {std::string(kChildVariable) + "=" + name, "LANGUAGE=" + language});
            EXPECT_EQ(child.waitForExit(120000), 0) << row << ":\n" << child.log();
            std::istringstream lines(child.log());
            for (std::string line; std::getline(lines, line);)
            {
                EXPECT_EQ(line.find("Gtk-WARNING"), std::string::npos) << row << ": " << line;
                EXPECT_EQ(line.find("Gtk-CRITICAL"), std::string::npos) << row << ": " << line;
            }
        }
    }
    if (!catalogs)
        GTEST_SKIP() << "the build made no catalogs (msgfmt missing): only the program's own language tried";
}
