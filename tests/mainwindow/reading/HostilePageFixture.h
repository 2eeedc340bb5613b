#pragma once

// What the window tests of hostile pages share: the browser pane in a frame
// of its own, recording what it hands over and the windows it would open, a
// loopback server, and the engine's login boxes and real clicks.
#include "GuiTestSupport.h"
#include "common/ToplevelWindows.h"
#include "downloads/PaneDownloadSupport.h"
#include "mainwindow/HtmlCtrl.h"
#include "mainwindow/WebBrowserFrame.h"
#include "support/LocalHttpServer.h"
#include "support/TempDir.h"

#include <cstdint>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <wx/frame.h>
#include <wx/sizer.h>
#include <wx/timer.h>
#include <wx/webview.h>

namespace hostiletest
{
// The engine's own login boxes over the pane: children of the view, found
// through the toolkit wx loaded.
inline int LoginBoxes(wxWebView& view)
{
    using Visit = void (*)(void* widget, void* data);
    using ForAll = void (*)(void* container, Visit visit, void* data);
    using TypeName = const char* (*)(void* instance);
    static const auto forAll = reinterpret_cast<ForAll>(::dlsym(RTLD_DEFAULT, "gtk_container_forall"));
    static const auto typeName =
        reinterpret_cast<TypeName>(::dlsym(RTLD_DEFAULT, "g_type_name_from_instance"));
    EXPECT_TRUE(forAll != nullptr && typeName != nullptr);
    if (forAll == nullptr || typeName == nullptr)
        return -1;
    struct Count
    {
        TypeName typeName;
        int boxes = 0;
    } count{typeName};
    forAll(
        view.GetNativeBackend(),
        [](void* child, void* data)
        {
            auto& count = *static_cast<Count*>(data);
            if (std::string(count.typeName(child)).find("Authentication") != std::string::npos)
                ++count.boxes;
        },
        &count);
    return count.boxes;
}

// Counts the toolkit's dialogs that show in this process, and cancels each
// at once: a dialog a page opens runs a loop of its own, which would hold
// the test until the dialog closed.
class DialogWatch : public wxTimer
{
public:
    DialogWatch() { Start(50); }
    int Seen() const { return m_seen; }

private:
    void Notify() override
    {
        using GetType = unsigned long (*)();
        using IsA = int (*)(void* instance, unsigned long type);
        using IsVisible = int (*)(void* widget);
        using Respond = void (*)(void* dialog, int response);
        static const auto dialogType =
            reinterpret_cast<GetType>(::dlsym(RTLD_DEFAULT, "gtk_dialog_get_type"));
        static const auto isA = reinterpret_cast<IsA>(::dlsym(RTLD_DEFAULT, "g_type_check_instance_is_a"));
        static const auto isVisible =
            reinterpret_cast<IsVisible>(::dlsym(RTLD_DEFAULT, "gtk_widget_get_visible"));
        static const auto respond = reinterpret_cast<Respond>(::dlsym(RTLD_DEFAULT, "gtk_dialog_response"));
        if (dialogType == nullptr || isA == nullptr || isVisible == nullptr || respond == nullptr)
            return;
        constexpr int kCancel = -6;
        for (void* window : ui::ToplevelWindows())
        {
            if (isA(window, dialogType()) != 0 && isVisible(window) != 0)
            {
                ++m_seen;
                respond(window, kCancel);
            }
        }
    }

    int m_seen = 0;
};

// A real click across the middle of the view, `y` down from its top.
inline void ClickAcross(wxWebView& view, int y)
{
    guitest::ClickAt(view.GetScreenPosition() + wxPoint(view.GetSize().x / 2, y));
}

// Waits until the server was asked for `path` at least `times` times.
inline bool Asked(const testsupport::LocalHttpServer& server, const std::string& path, std::size_t times = 1)
{
    return guitest::RunEventsUntil([&] { return server.requestsFor(path).size() >= times; }, 20000);
}

// The browser pane alone in a frame, with its downloads and windows recorded.
class HostilePageTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_frame = new wxFrame(nullptr, wxID_ANY, "hostile pages", wxPoint(0, 0), wxSize(900, 700));
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        m_browser = new CWebBrowserFrame(m_frame, wxID_ANY, uString(m_templates.path().c_str()));
        sizer->Add(m_browser, 1, wxEXPAND);
        m_frame->SetSizer(sizer);
        CPaneDownloads::Hooks hooks;
        hooks.folder = [this] { return uString(m_downloads.path().c_str()); };
        hooks.open = [this](std::uint32_t, const uString& path) { m_handedOver.push_back(path.c_str()); };
        hooks.saveAs = [this](const uString& name)
        {
            m_handedOver.push_back(std::string("save as ") + name.c_str());
            return uString();
        };
        hooks.subscribe = [this](const uString& address)
        { m_handedOver.push_back(std::string("subscribe ") + address.c_str()); };
        Pane().SetDownloadHooks(hooks);
        Pane().SetWindowOpener([this](const wxString& url) { m_windows.push_back(url.utf8_string()); });
        KeepNoPagesToGoBackTo();
        m_frame->Show();
        guitest::RunEventsUntil([&] { return m_frame->IsShownOnScreen(); });
        guitest::RunEventsUntil([&] { return !View().IsBusy(); }, 10000);
    }
    void TearDown() override { guitest::DestroyWindow(m_frame); }

    // The engine keeps recent pages whole, and goes back to them without
    // asking the server; pages it did not keep (most, on the web) are asked
    // for again, and may answer something else then. Here it keeps none.
    void KeepNoPagesToGoBackTo()
    {
        using GetSettings = void* (*)(void*);
        using SetPageCache = void (*)(void*, int);
        auto getSettings =
            reinterpret_cast<GetSettings>(::dlsym(RTLD_DEFAULT, "webkit_web_view_get_settings"));
        auto setPageCache =
            reinterpret_cast<SetPageCache>(::dlsym(RTLD_DEFAULT, "webkit_settings_set_enable_page_cache"));
        ASSERT_TRUE(getSettings != nullptr && setPageCache != nullptr);
        setPageCache(getSettings(View().GetNativeBackend()), 0);
    }
    CHtmlCtrl& Pane() { return *m_browser->GetHtmlCtrl(); }
    wxWebView& View() { return *Pane().GetWebView(); }
    std::string Url(const std::string& path) const { return m_server.url(path); }
    bool Shows(const std::string& text)
    {
        return View().GetPageSource().utf8_string().find(text) != std::string::npos;
    }
    bool Asked(const std::string& path, std::size_t times = 1) const
    {
        return hostiletest::Asked(m_server, path, times);
    }
    int LoginBoxes() { return hostiletest::LoginBoxes(View()); }
    // The pages' hostile parts fill the band 200 pixels high at the top.
    void ClickTop() { ClickAcross(View(), 100); }
    void PressBack()
    {
        wxCommandEvent back(wxEVT_TOOL, CWebBrowserFrame::kBack);
        m_browser->GetEventHandler()->ProcessEvent(back);
    }

    testsupport::TempDir m_templates;
    testsupport::TempDir m_downloads;
    testsupport::LocalHttpServer m_server;
    wxFrame* m_frame = nullptr;
    CWebBrowserFrame* m_browser = nullptr;
    std::vector<std::string> m_handedOver;
    std::vector<std::string> m_windows;
    DialogWatch m_dialogs;
};
} // namespace hostiletest
