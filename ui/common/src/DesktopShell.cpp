#include "common/DesktopShell.h"

#include "common/UserPrompt.h"
#include "foundation/uProcess.h"

#include <wx/app.h>
#include <wx/toplevel.h>

namespace
{
constexpr int kCannotOpen = 3094;

bool RunOpener(const uString& target, const IShell::Failure& failed)
{
    // xdg-open reads a leading "-" as an option; our targets are absolute
    // paths and addresses, so such a text is refused rather than rewritten.
    bool started = false;
    if (!target.isEmpty() && target.c_str()[0] != '-')
    {
        std::function<void(int)> onEnd;
        // xdg-open says by its status whether the desktop had a program for
        // the target; it comes on the reaper's thread.
        if (failed && wxTheApp != nullptr)
            onEnd = [failed](int exitCode)
            {
                if (exitCode != 0 && wxTheApp != nullptr)
                    wxTheApp->CallAfter(failed);
            };
        started = RunCommandLine(std::vector<uString>{uString("xdg-open"), target}, std::move(onEnd)) != 0;
    }
    if (!started && failed)
        failed();
    return started;
}

std::shared_ptr<IShell>& CurrentShell()
{
    static std::shared_ptr<IShell> shell = std::make_shared<CDesktopShell>();
    return shell;
}
} // namespace

bool CDesktopShell::Open(const uString& target, Failure failed)
{
    return RunOpener(target, failed);
}

bool CDesktopShell::Explore(const uString& folder, Failure failed)
{
    // The desktop's handler for a folder is its file manager.
    return RunOpener(folder, failed);
}

bool CRecordingShell::Open(const uString& target, Failure failed)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.push_back(Request{Request::kOpen, target});
    }
    if (!m_result && failed)
        failed();
    return m_result;
}

bool CRecordingShell::Explore(const uString& folder, Failure failed)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.push_back(Request{Request::kExplore, folder});
    }
    if (!m_result && failed)
        failed();
    return m_result;
}

std::vector<CRecordingShell::Request> CRecordingShell::GetRequests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

void CRecordingShell::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.clear();
}

namespace ui
{
IShell& GetShell()
{
    return *CurrentShell();
}

bool OpenOrSay(wxWindow* owner, const uString& target, bool explore)
{
    // The window is looked for again when the answer comes: it may have
    // closed meanwhile, and then nobody is told.
    wxWindow* window = owner != nullptr ? wxGetTopLevelParent(owner) : nullptr;
    IShell::Failure failed = [window, target]
    {
        wxWindow* over = nullptr;
        for (wxWindow* shown : wxTopLevelWindows)
        {
            if (shown == window && !shown->IsBeingDeleted())
                over = shown;
        }
        if (over != nullptr)
            ShowPrompt(over, kCannotOpen, wxOK | wxICON_EXCLAMATION, target);
    };
    return explore ? GetShell().Explore(target, failed) : GetShell().Open(target, failed);
}

std::shared_ptr<IShell> SetShell(std::shared_ptr<IShell> shell)
{
    std::shared_ptr<IShell> previous = CurrentShell();
    CurrentShell() = shell ? std::move(shell) : std::make_shared<CDesktopShell>();
    return previous;
}
} // namespace ui
