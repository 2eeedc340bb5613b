// Where the tools of the program's window sit, for the tests that click them
// in the real program: the main window, made here as the program makes it on
// a first start, prints the middle of each tool the tests click, one line
// "command x y" each (from the window's top-left corner inside its frame;
// -1 -1 when the toolkit cannot say), then "0 width height" for the window.
// Run with HOME at a temporary folder, under the tests' X server and window
// manager; a process of its own, so that no window of the test's is left.
#include "common/MenuBuilder.h"
#include "feeds/Preference.h"
#include "mainwindow/MainFrame.h"
#include "mainwindow/ToolkitEnvironment.h"
#include "mainwindow/WebBrowserFrame.h"

#include <cstdio>
#include <dlfcn.h>
#include <wx/app.h>
#include <wx/timer.h>
#include <wx/toolbar.h>

namespace
{
// The toolkit's calls that tell where a tool of a bar sits, looked up in the
// toolkit wx runs on.
struct Toolkit
{
    using NthItem = void* (*)(void* toolbar, int index);
    using Translate = int (*)(void* from, void* to, int x, int y, int* toX, int* toY);
    using Extent = int (*)(void* widget);
    using GetType = unsigned long (*)();
    using IsA = int (*)(void* instance, unsigned long type);
    using Child = void* (*)(void* container);
    NthItem nthItem = reinterpret_cast<NthItem>(dlsym(RTLD_DEFAULT, "gtk_toolbar_get_nth_item"));
    Translate translate =
        reinterpret_cast<Translate>(dlsym(RTLD_DEFAULT, "gtk_widget_translate_coordinates"));
    Extent width = reinterpret_cast<Extent>(dlsym(RTLD_DEFAULT, "gtk_widget_get_allocated_width"));
    Extent height = reinterpret_cast<Extent>(dlsym(RTLD_DEFAULT, "gtk_widget_get_allocated_height"));
    GetType toolbarType = reinterpret_cast<GetType>(dlsym(RTLD_DEFAULT, "gtk_toolbar_get_type"));
    IsA isA = reinterpret_cast<IsA>(dlsym(RTLD_DEFAULT, "g_type_check_instance_is_a"));
    Child child = reinterpret_cast<Child>(dlsym(RTLD_DEFAULT, "gtk_bin_get_child"));

    void PrintTool(int command, wxToolBar& bar, int id, wxWindow& window) const
    {
        const int position = bar.GetToolPos(id);
        // The bar's window may hold the toolkit's bar inside a box.
        void* toolbar = bar.GetHandle();
        if (isA(toolbar, toolbarType()) == 0)
            toolbar = child(toolbar);
        void* item = position >= 0 && toolbar != nullptr ? nthItem(toolbar, position) : nullptr;
        int x = -1;
        int y = -1;
        if (item == nullptr ||
            !translate(item, window.GetHandle(), width(item) / 2, height(item) / 2, &x, &y))
            x = y = -1;
        std::printf("%d %d %d\n", command, x, y);
    }
};

class ProbeApp : public wxApp
{
public:
    bool OnInit() override
    {
        CMainFrame::Options options;
        options.loadTorrentEngine = false;
        m_frame = new CMainFrame(nullptr, options);
        m_frame->SetSize(wxSize(1024, 700)); // the program's size when it has none stored
        m_frame->Centre();
        m_frame->Show();
        // Laid out and allocated by then.
        m_timer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Measure(); });
        m_timer.StartOnce(1500);
        return true;
    }

private:
    void Measure()
    {
        const Toolkit gtk;
        for (int command : {129, 224})
            gtk.PrintTool(command, *m_frame->GetMainToolBar(), ui::MenuCommandId(command), *m_frame);
        for (wxWindow* child : m_frame->GetBrowserFrame()->GetChildren())
        {
            if (auto* bar = wxDynamicCast(child, wxToolBar))
                gtk.PrintTool(CWebBrowserFrame::kSendMail, *bar, CWebBrowserFrame::kSendMail, *m_frame);
        }
        std::printf("0 %d %d\n", gtk.width(m_frame->GetHandle()), gtk.height(m_frame->GetHandle()));
        std::fflush(stdout);
        m_frame->Close(true);
    }

    CMainFrame* m_frame = nullptr;
    wxTimer m_timer;
};
} // namespace

int main(int argc, char** argv)
{
    ui::PrepareToolkitEnvironment();
    wxApp::SetInstance(new ProbeApp);
    return wxEntry(argc, argv);
}
