#pragma once

// The engine's own boxes of a page (alert, confirm, prompt) as the view
// shows them, held so that a test closes them as the user would. The
// toolkit's calls are looked up in the loaded libraries.
#include <dlfcn.h>
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
        if (shown == nullptr)
            return;
        close(shown);
        unref(shown);
        shown = nullptr;
    }
};
} // namespace guitest
