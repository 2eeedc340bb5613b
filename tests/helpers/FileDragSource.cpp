// Another program's window to drag a file from, as the desktop's file
// manager offers one, for the tests of files dropped on the main window.
//   kestrova_file_drag_source PATH X Y
// shows a 200 by 200 window at X, Y and says so once it is on the
// screen ("drag source shown"); a press on it starts a drag that carries PATH.
#include <cstdio>
#include <wx/app.h>
#include <wx/dataobj.h>
#include <wx/dnd.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/timer.h>

class DragSourceApp : public wxApp
{
public:
    bool OnInit() override
    {
        long x = 0;
        long y = 0;
        if (argc < 4 || !argv[2].ToLong(&x) || !argv[3].ToLong(&y))
            return false;
        const wxString path = argv[1];
        auto* frame = new wxFrame(nullptr, wxID_ANY, "file drag source", wxPoint(x, y), wxSize(200, 200));
        auto* panel = new wxPanel(frame);
        panel->SetBackgroundColour(*wxBLUE);
        panel->Bind(wxEVT_LEFT_DOWN,
                    [panel, path](wxMouseEvent&)
                    {
                        wxFileDataObject data;
                        data.AddFile(path);
                        wxDropSource source(data, panel);
                        source.DoDragDrop(wxDrag_CopyOnly);
                    });
        frame->Show();
        m_shown.Bind(wxEVT_TIMER,
                     [this, frame](wxTimerEvent&)
                     {
                         if (!frame->IsShownOnScreen())
                             return;
                         m_shown.Stop();
                         std::printf("drag source shown\n");
                         std::fflush(stdout);
                     });
        m_shown.Start(50);
        return true;
    }

private:
    wxTimer m_shown;
};

wxIMPLEMENT_APP(DragSourceApp);
