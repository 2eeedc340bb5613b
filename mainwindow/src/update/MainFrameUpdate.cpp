// The frame's side of the update check: starting it and answering its result.
#include "common/UserPrompt.h"
#include "feeds/Preference.h"
#include "mainwindow/MainFrame.h"
#include "mainwindow/ProfileStore.h"
#include "mainwindow/UpdateCheck.h"
#include "mainwindow/WebBrowserFrame.h"

#include <atomic>
#include <string>
#include <wx/msgdlg.h>

namespace
{
constexpr int kUpdateAvailable = 3018;

std::string ProfileValue(CProfileStore* profile, const char* entry)
{
    return profile != nullptr ? profile->GetProfileString(update::kProfileSection, entry) : std::string();
}
} // namespace

// Start-up and Help → Check for Update. Without a version address there is
// nothing to ask: the check is off.
void CMainFrame::CheckForUpdate()
{
    std::string url = ProfileValue(m_profile, update::kVersionUrlEntry);
    if (!url.empty())
        StartVersionCheck(uString(url.c_str()));
}

void CMainFrame::StartVersionCheck(const uString& url)
{
    static std::atomic<unsigned> sequence{0};
    uFile folder = m_preference->GetTempDir(); // made when missing
    if (folder.getPath().isEmpty())
        return;
    std::string name = "version-" + std::to_string(++sequence) + ".txt";
    update::CVersionCheckTask::Start(url, uFile(folder.getPath().c_str(), name.c_str()), GetWindowHandle());
}

long CMainFrame::OnVersionChecked(const CFrameMessage& message)
{
    // A failed check is silent, and so is a file that is not newer.
    if (message.wParam == 0 || message.text == nullptr || !update::IsNewerThanProgram(message.text->c_str()))
        return 0;
    if (ui::ShowPrompt(this, kUpdateAvailable, wxYES_NO | wxICON_QUESTION) != wxYES)
        return 0;
    std::string page = ProfileValue(m_profile, update::kDownloadPageEntry);
    if (!page.empty() && m_browserFrame != nullptr)
        m_browserFrame->Navigate(uString(page.c_str()));
    return 0;
}
