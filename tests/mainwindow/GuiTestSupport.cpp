#include "GuiTestSupport.h"

#include "mainwindow/HtmlCtrl.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sys/wait.h>
#include <wx/app.h>
#include <wx/apptrait.h>
#include <wx/choice.h>
#include <wx/evtloop.h>
#include <wx/settings.h>
#include <wx/treectrl.h>
#include <wx/uiaction.h>
#include <wx/utils.h>
#include <wx/webview.h>
#include <wx/window.h>

namespace guitest
{
namespace
{
void RunOnce()
{
    wxTheApp->Yield(/*onlyIfNeeded=*/true);
    wxTheApp->ProcessIdle();
    wxMilliSleep(2);
}

std::filesystem::path ScreenshotFolder()
{
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    std::filesystem::path folder =
        (error ? std::filesystem::current_path() : exe.parent_path()) / "screenshots";
    std::filesystem::create_directories(folder, error);
    return folder;
}
} // namespace

bool RunEventsUntil(const std::function<bool()>& done, int maxMs)
{
    // A running loop is needed for timers and paint events to be dispatched.
    wxEventLoopBase* active = wxEventLoopBase::GetActive();
    std::unique_ptr<wxEventLoopBase> loop;
    std::unique_ptr<wxEventLoopActivator> activator;
    if (active == nullptr)
    {
        loop.reset(wxTheApp->GetTraits()->CreateEventLoop());
        activator = std::make_unique<wxEventLoopActivator>(loop.get());
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
    while (!done())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return done();
        RunOnce();
    }
    return true;
}

void RunEventsFor(int ms)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    RunEventsUntil([&] { return std::chrono::steady_clock::now() >= end; }, ms + 1000);
}

void DestroyWindow(wxWindow* window)
{
    if (window == nullptr)
        return;
    window->Destroy();
    RunEventsFor(20);
}

wxImage TakeScreenshot(const std::string& name)
{
    // Let pending paints reach the X server before grabbing.
    RunEventsFor(100);
    std::filesystem::path path = ScreenshotFolder() / (name + ".png");
    std::string command = "import -window root '" + path.string() + "'";
    int status = std::system(command.c_str());
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return wxImage();
    if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr)
        wxImage::AddHandler(new wxPNGHandler);
    wxImage image;
    image.LoadFile(wxString::FromUTF8(path.string()), wxBITMAP_TYPE_PNG);
    return image;
}

wxColour MeanColour(const wxImage& image, const wxRect& rect)
{
    long sum[3] = {0, 0, 0};
    long count = 0;
    for (int row = rect.y; row < rect.GetBottom() + 1; ++row)
    {
        for (int column = rect.x; column < rect.GetRight() + 1; ++column)
        {
            if (column < 0 || row < 0 || column >= image.GetWidth() || row >= image.GetHeight())
                continue;
            sum[0] += image.GetRed(column, row);
            sum[1] += image.GetGreen(column, row);
            sum[2] += image.GetBlue(column, row);
            ++count;
        }
    }
    if (count == 0)
        return wxColour();
    return wxColour(sum[0] / count, sum[1] / count, sum[2] / count);
}

std::string DominantColourClass(const wxImage& image, const wxRect& rect)
{
    int orange = 0, green = 0, grey = 0, total = 0;
    for (int row = rect.y; row < rect.GetBottom() + 1; ++row)
    {
        for (int column = rect.x; column < rect.GetRight() + 1; ++column)
        {
            if (column < 0 || row < 0 || column >= image.GetWidth() || row >= image.GetHeight())
                continue;
            int r = image.GetRed(column, row), g = image.GetGreen(column, row),
                b = image.GetBlue(column, row);
            ++total;
            if (r > 200 && g > 60 && g < 190 && b < 110)
                ++orange;
            else if (g > r + 40 && g > b + 40)
                ++green;
            else if (std::abs(r - g) < 12 && std::abs(g - b) < 12 && r < 215 && r > 60)
                ++grey;
        }
    }
    int best = std::max({orange, green, grey});
    if (total == 0 || best * 6 < total)
        return "other";
    return best == orange ? "orange" : best == green ? "green" : "grey";
}

std::vector<std::string> ChildLabels(const wxTreeCtrl& tree, const wxTreeItemId& parent)
{
    std::vector<std::string> labels;
    wxTreeItemIdValue cookie;
    for (wxTreeItemId child = tree.GetFirstChild(parent, cookie); child.IsOk();
         child = tree.GetNextChild(parent, cookie))
        labels.push_back(tree.GetItemText(child).utf8_string());
    return labels;
}

bool DocumentSource(CHtmlCtrl& html, uString& text)
{
    bool answered = false;
    bool found = false;
    html.GetDocumentSource(
        [&](bool given, const uString& source)
        {
            answered = true;
            found = given;
            text = source;
        });
    return RunEventsUntil([&] { return answered; }, 15000) && found;
}

std::string WaitForPage(wxWebView& view, const std::string& text)
{
    std::string page;
    RunEventsUntil(
        [&]
        {
            page = view.GetPageSource().utf8_string();
            return page.find(text) != std::string::npos;
        },
        15000);
    return page.find(text) != std::string::npos ? page : std::string();
}

void Choose(wxChoice* choice, int index)
{
    choice->SetSelection(index);
    wxCommandEvent chosen(wxEVT_CHOICE, choice->GetId());
    chosen.SetInt(index);
    chosen.SetEventObject(choice);
    choice->GetEventHandler()->ProcessEvent(chosen);
}

void ClickAt(const wxPoint& screen, bool doubleClick)
{
    RunEventsFor(wxSystemSettings::GetMetric(wxSYS_DCLICK_MSEC) + 100);
    wxUIActionSimulator mouse;
    mouse.MouseMove(screen);
    RunEventsFor(30);
    if (doubleClick)
        mouse.MouseDblClick();
    else
        mouse.MouseClick();
    RunEventsFor(50);
}
void DragAndDrop(const wxPoint& from, const wxPoint& to, const std::function<bool()>& started)
{
    wxUIActionSimulator mouse;
    mouse.MouseMove(from);
    RunEventsFor(100);
    mouse.MouseDown();
    RunEventsFor(100);
    constexpr int kSteps = 20;
    for (int step = 1; step <= kSteps; ++step)
    {
        mouse.MouseMove(
            wxPoint(from.x + (to.x - from.x) * step / kSteps, from.y + (to.y - from.y) * step / kSteps));
        RunEventsFor(50);
    }
    RunEventsUntil(started, 10000);
    for (const wxPoint& at : {to + wxPoint(4, 4), to})
    {
        mouse.MouseMove(at);
        RunEventsFor(100);
    }
    mouse.MouseUp();
    RunEventsFor(100);
}
} // namespace guitest
