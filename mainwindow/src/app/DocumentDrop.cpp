#include "mainwindow/DocumentDrop.h"

#include "mainwindow/MainFrame.h"

#include <dlfcn.h>
#include <vector>
#include <wx/dnd.h>
#include <wx/weakref.h>

namespace app
{
namespace
{
// True when the drag under way began in this process: the toolkit knows its
// source widget only then. When that cannot be told the drag counts as
// ours: a refused file can still be opened from the menu, a page's file
// cannot be taken back once opened.
bool BeganInThisProgram(const wxDropTarget& target)
{
#ifdef __WXGTK__
    using SourceWidget = void* (*)(void* context);
    static const auto sourceWidget =
        reinterpret_cast<SourceWidget>(::dlsym(RTLD_DEFAULT, "gtk_drag_get_source_widget"));
    return sourceWidget == nullptr || target.m_dragContext == nullptr ||
           sourceWidget(target.m_dragContext) != nullptr;
#else
    (void)target;
    return false;
#endif
}

class CDocumentDropTarget : public wxFileDropTarget
{
public:
    CDocumentDropTarget(CMainFrame& frame, std::function<void(const std::string&)> open)
        : m_frame(&frame), m_open(std::move(open))
    {
    }

    wxDragResult OnDragOver(wxCoord x, wxCoord y, wxDragResult suggested) override
    {
        return BeganInThisProgram(*this) ? wxDragNone : wxFileDropTarget::OnDragOver(x, y, suggested);
    }

    bool OnDrop(wxCoord x, wxCoord y) override
    {
        return !BeganInThisProgram(*this) && wxFileDropTarget::OnDrop(x, y);
    }

    bool OnDropFiles(wxCoord, wxCoord, const wxArrayString& files) override
    {
        if (BeganInThisProgram(*this) || !m_frame)
            return false;
        std::vector<std::string> paths;
        for (const wxString& file : files)
            paths.push_back(file.utf8_string());
        // The drop ends first: the other program waits for its answer.
        m_frame->CallAfter(
            [frame = m_frame, open = m_open, paths]
            {
                for (const std::string& path : paths)
                {
                    // A file's dialog may have closed the window.
                    if (!frame)
                        return;
                    open(path);
                }
            });
        return true;
    }

private:
    wxWeakRef<CMainFrame> m_frame;
    std::function<void(const std::string&)> m_open;
};
} // namespace

void AcceptDroppedDocuments(CMainFrame& frame, std::function<void(const std::string& path)> open)
{
    frame.SetDropTarget(new CDocumentDropTarget(frame, std::move(open)));
}
} // namespace app
