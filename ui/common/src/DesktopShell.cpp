#include "common/DesktopShell.h"

#include "foundation/uProcess.h"

namespace
{
bool RunOpener(const uString& target)
{
    // xdg-open reads a leading "-" as an option; our targets are absolute
    // paths and addresses, so such a text is refused rather than rewritten.
    if (target.isEmpty() || target.c_str()[0] == '-')
        return false;
    return RunCommandLine(std::vector<uString>{uString("xdg-open"), target}) != 0;
}

std::shared_ptr<IShell>& CurrentShell()
{
    static std::shared_ptr<IShell> shell = std::make_shared<CDesktopShell>();
    return shell;
}
} // namespace

bool CDesktopShell::Open(const uString& target)
{
    return RunOpener(target);
}

bool CDesktopShell::Explore(const uString& folder)
{
    // The desktop's handler for a folder is its file manager.
    return RunOpener(folder);
}

bool CRecordingShell::Open(const uString& target)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.push_back(Request{Request::kOpen, target});
    return m_result;
}

bool CRecordingShell::Explore(const uString& folder)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.push_back(Request{Request::kExplore, folder});
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

std::shared_ptr<IShell> SetShell(std::shared_ptr<IShell> shell)
{
    std::shared_ptr<IShell> previous = CurrentShell();
    CurrentShell() = shell ? std::move(shell) : std::make_shared<CDesktopShell>();
    return previous;
}
} // namespace ui
