#pragma once

#include "feeds/CredentialPrompt.h"
#include "feeds/MessageBox.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class CUiThreadCaller;
class wxWindow;

// The feed engine's message box for the window program. Called on any thread:
// on the user-interface thread the box shows at once; from a worker it is
// queued to the user-interface thread and the worker goes on. Once the main
// window has closed, texts go to standard error.
class CUiMessageBox : public CMessageBox
{
public:
    // Shows the box on the user-interface thread.
    using Display = std::function<void(wxWindow* parent, const uString& text)>;

    CUiMessageBox(std::shared_ptr<CUiThreadCaller> caller, wxWindow* parent, Display display = {});
    void Show(const uString& text) override;

    // An information box with an OK button.
    static void ShowDefaultBox(wxWindow* parent, const uString& text);

private:
    std::shared_ptr<CUiThreadCaller> m_caller;
    wxWindow* m_parent; // used only while the caller is attached, on the UI thread
    Display m_display;
};

// The feed engine's user-name and password prompt for the window program.
// The dialog always runs on the user-interface thread; a worker that asks
// waits for the answer, unless the program is closing (Cancel), which refuses
// every pending and later request at once. A request of a fetch that the user
// cancelled in its progress dialog is refused without asking.
class CUiCredentialPrompt : public CCredentialPrompt
{
public:
    // Shows the dialog on the user-interface thread; true when confirmed.
    using Dialog = std::function<bool(wxWindow* parent, const uString& caption, const uString& initialUser,
                                      uString& user, uString& password)>;

    CUiCredentialPrompt(std::shared_ptr<CUiThreadCaller> caller, wxWindow* parent, Dialog dialog = {});
    bool Ask(const uString& caption, const uString& initialUser, uString& user, uString& password) override;
    // Refuses everything from now on and wakes the workers that wait.
    void Cancel();

    // A plain dialog with a user-name and a password field.
    static bool ShowDefaultDialog(wxWindow* parent, const uString& caption, const uString& initialUser,
                                  uString& user, uString& password);

private:
    struct Request;

    std::shared_ptr<CUiThreadCaller> m_caller;
    wxWindow* m_parent;
    Dialog m_dialog;
    std::mutex m_lock;
    std::condition_variable m_answered;
    bool m_cancelled = false; // guarded by m_lock
};
