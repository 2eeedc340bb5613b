#pragma once

#include "StringTable.h"
#include "downloads/DownloadHost.h"
#include "mainwindow/MainFrame.h"
#include "common/Messages.h"
#include "mainwindow/UiThreadCaller.h"

#include <memory>
#include <string>
#include <string_view>

// What the download manager asks of the main frame. Called on any thread:
// status texts are posted as messages, timer work is handed to the
// user-interface thread, where wxTimer must be started. Once the frame has
// closed, the calls do nothing.
class CMainFrame::DownloadHost : public CDownloadHost
{
public:
    DownloadHost(std::shared_ptr<CUiThreadCaller> caller, CMainFrame* frame)
        : m_caller(std::move(caller)), m_frame(frame), m_window(frame->GetWindowHandle())
    {
    }

    void PostStatusText(const uString& text) override { PostMessage(m_window, WM_APP_STATUSTEXT, 0, text); }
    void DownloadsEnded() override
    {
        std::string_view ready = resources::FindString(kReadyString);
        PostStatusText(uString(std::string(ready).c_str()));
    }
    void ArmTimer(int timerId, uint64_t milliseconds) override
    {
        CMainFrame* frame = m_frame;
        m_caller->Call([frame, timerId, milliseconds] { frame->ArmTimer(timerId, milliseconds); });
    }
    void KillTimer(int timerId) override
    {
        CMainFrame* frame = m_frame;
        m_caller->Call([frame, timerId] { frame->KillTimerById(timerId); });
    }

private:
    static constexpr int kReadyString = 57345;
    std::shared_ptr<CUiThreadCaller> m_caller;
    CMainFrame* m_frame; // reached only through m_caller, on the UI thread
    uWindowHandle m_window;
};
