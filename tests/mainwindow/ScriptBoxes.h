#pragma once

// The engine's own boxes of a page (alert, confirm, prompt) as the view
// shows them, held so that a test closes them as the user would. The
// toolkit's calls are looked up in the loaded libraries. The object outlives
// the view it watches.
#include <dlfcn.h>
#include <wx/timer.h>
#include <wx/webview.h>

namespace guitest
{
struct ScriptBoxes
{
    using Connect = unsigned long (*)(void* instance, const char* signal, void* handler, void* data,
                                      void* destroy, int flags);
    using Ref = void* (*)(void* dialog);
    using Call = void (*)(void* dialog);
    Connect connect = reinterpret_cast<Connect>(dlsym(RTLD_DEFAULT, "g_signal_connect_data"));
    Ref ref = reinterpret_cast<Ref>(dlsym(RTLD_DEFAULT, "webkit_script_dialog_ref"));
    Call close = reinterpret_cast<Call>(dlsym(RTLD_DEFAULT, "webkit_script_dialog_close"));
    Call unref = reinterpret_cast<Call>(dlsym(RTLD_DEFAULT, "webkit_script_dialog_unref"));
    void* shown = nullptr;

    ScriptBoxes()
    {
        m_closer.Bind(wxEVT_TIMER,
                      [this](wxTimerEvent&)
                      {
                          closedLate = true;
                          Close();
                      });
    }
    ScriptBoxes(const ScriptBoxes&) = delete;
    ScriptBoxes& operator=(const ScriptBoxes&) = delete;

    // Watches the view until it goes.
    void Watch(wxWebView& view)
    {
        connect(view.GetNativeBackend(), "script-dialog", reinterpret_cast<void*>(&OnShown), this, nullptr,
                0);
    }
    // The view shows the box as usual.
    static int OnShown(void*, void* dialog, void* self)
    {
        auto* boxes = static_cast<ScriptBoxes*>(self);
        boxes->shown = boxes->ref(dialog);
        return 0;
    }
    void Close()
    {
        m_closer.Stop();
        if (shown == nullptr)
            return;
        close(shown);
        unref(shown);
        shown = nullptr;
    }
    // Closes the shown box after `ms` unless Close comes first, as the user
    // would close it: whatever waits for the engine meanwhile waits until
    // then, and `closedLate` tells.
    void CloseAfter(int ms)
    {
        closedLate = false;
        m_closer.StartOnce(ms);
    }
    bool closedLate = false;

private:
    wxTimer m_closer;
};
} // namespace guitest
