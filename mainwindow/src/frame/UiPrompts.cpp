#include "mainwindow/UiPrompts.h"

#include "common/FetchProgress.h"
#include "dialogs/MailDlgs.h"
#include "mainwindow/UiThreadCaller.h"

#include <cstdio>
#include <wx/msgdlg.h>
#include <wx/thread.h>

namespace
{
constexpr const char* kCaption = "Kestrova";

wxString FromUtf8(const uString& text)
{
    return wxString::FromUTF8(text.c_str());
}
} // namespace

CUiMessageBox::CUiMessageBox(std::shared_ptr<CUiThreadCaller> caller, wxWindow* parent, Display display)
    : m_caller(std::move(caller)), m_parent(parent), m_display(display ? std::move(display) : ShowDefaultBox)
{
}

void CUiMessageBox::ShowDefaultBox(wxWindow* parent, const uString& text)
{
    wxMessageBox(FromUtf8(text), kCaption, wxOK | wxICON_INFORMATION, parent);
}

void CUiMessageBox::Show(const uString& text)
{
    uString copy(text);
    wxWindow* parent = m_parent;
    Display display = m_display;
    std::weak_ptr<CUiThreadCaller> weakCaller = m_caller;
    bool shown = m_caller->Call(
        [copy, parent, display, weakCaller]
        {
            // The window may have closed between queuing and now.
            auto caller = weakCaller.lock();
            if (caller && caller->IsAttached())
                display(parent, copy);
            else
                std::fprintf(stderr, "%s\n", copy.c_str());
        });
    if (!shown)
        std::fprintf(stderr, "%s\n", text.c_str());
}

struct CUiCredentialPrompt::Request
{
    bool done = false;
    bool confirmed = false;
    uString user;
    uString password;
};

CUiCredentialPrompt::CUiCredentialPrompt(std::shared_ptr<CUiThreadCaller> caller, wxWindow* parent,
                                         Dialog dialog)
    : m_caller(std::move(caller)), m_parent(parent), m_dialog(dialog ? std::move(dialog) : ShowDefaultDialog)
{
}

bool CUiCredentialPrompt::Ask(const uString& caption, const uString& initialUser, uString& user,
                              uString& password)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_cancelled)
            return false;
    }
    if (wxIsMainThread())
        return m_caller->IsAttached() && m_dialog(m_parent, caption, initialUser, user, password);

    auto request = std::make_shared<Request>();
    uString captionCopy(caption);
    uString initialCopy(initialUser);
    std::weak_ptr<CUiThreadCaller> weakCaller = m_caller;
    // Posted where a progress dialog that waits for this worker serves it too:
    // the window's own queue does not run while that dialog's loop does.
    bool posted = ui::PostUiRequest(
        [this, weakCaller, request, captionCopy, initialCopy](bool refused)
        {
            // The window, and so this prompt, lives while the caller is
            // attached; once it is not, Cancel has woken the worker already.
            auto caller = weakCaller.lock();
            if (!caller || !caller->IsAttached())
                return;
            bool cancelled;
            {
                std::lock_guard<std::mutex> lock(m_lock);
                cancelled = m_cancelled;
            }
            uString answerUser, answerPassword;
            bool confirmed = !refused && !cancelled &&
                             m_dialog(m_parent, captionCopy, initialCopy, answerUser, answerPassword);
            std::lock_guard<std::mutex> lock(m_lock);
            request->done = true;
            request->confirmed = confirmed;
            request->user = answerUser;
            request->password = answerPassword;
            m_answered.notify_all();
        });
    if (!posted)
        return false;

    std::unique_lock<std::mutex> lock(m_lock);
    m_answered.wait(lock, [&] { return request->done || m_cancelled; });
    if (!request->done || !request->confirmed)
        return false;
    user = request->user;
    password = request->password;
    return true;
}

void CUiCredentialPrompt::Cancel()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_cancelled = true;
    m_answered.notify_all();
}

bool CUiCredentialPrompt::ShowDefaultDialog(wxWindow* parent, const uString& caption,
                                            const uString& initialUser, uString& user, uString& password)
{
    CPromptUserPassDlg dialog(caption, initialUser, parent);
    if (dialog.ShowModal() != wxID_OK)
        return false;
    user = dialog.GetUser();
    password = dialog.GetPassword();
    return true;
}
