#include "common/FetchProgress.h"

#include "common/TitleWidth.h"
#include "foundation/uTranslation.h"

#include <deque>
#include <mutex>
#include <thread>
#include <wx/app.h>
#include <wx/modalhook.h>
#include <wx/progdlg.h>
#include <wx/utils.h>

namespace ui
{
namespace
{
// Short enough that the dialog follows the pointer and Cancel is felt at once.
constexpr unsigned long kPollMilliseconds = 20;

// The toolkit's progress dialog, wide enough for its whole caption when it
// shows, which it does as it is made: sized for the address alone it would
// lose the middle of a long caption (a translated one, most often).
class CaptionedProgress : public wxGenericProgressDialog
{
public:
    CaptionedProgress(const uString& caption, const uString& text, wxWindow* parent, int style)
    {
        std::string_view translated = uTr(caption.c_str());
        Create(wxString::FromUTF8(translated.data(), translated.size()), wxString::FromUTF8(text.c_str()),
               100, parent, style);
    }

    bool Show(bool show = true) override
    {
        if (show && !IsShown())
        {
            wxSize client = GetClientSize();
            client.IncTo(wxSize(TitleFittingClientWidth(*this), client.y));
            SetClientSize(client);
            CentreOnParent();
        }
        return wxGenericProgressDialog::Show(show);
    }
};

struct PendingRequest
{
    std::thread::id from;
    UiRequest run;
};

std::mutex g_requestLock;
std::deque<PendingRequest> g_requests; // guarded by g_requestLock

// Runs the requests posted so far, one at a time and unlocked: a request may
// show a modal dialog, whose loop serves the later ones. The requests of
// `refusedThread` are answered without asking.
void ServeRequests(std::thread::id refusedThread)
{
    for (;;)
    {
        PendingRequest next;
        {
            std::lock_guard<std::mutex> lock(g_requestLock);
            if (g_requests.empty())
                return;
            next = std::move(g_requests.front());
            g_requests.pop_front();
        }
        next.run(next.from == refusedThread);
    }
}
} // namespace

bool PostUiRequest(UiRequest request)
{
    wxAppConsole* app = wxTheApp;
    if (app == nullptr)
        return false;
    {
        std::lock_guard<std::mutex> lock(g_requestLock);
        g_requests.push_back({std::this_thread::get_id(), std::move(request)});
    }
    // The event loop serves it when no progress dialog waits; an empty queue
    // by then costs nothing.
    app->CallAfter([] { ServeRequests(std::thread::id()); });
    return true;
}

FetchEnd RunFetch(wxWindow* parent, const uString& caption, const uString& text, const FetchWork& work)
{
    std::atomic<bool> abort{false};
    if (wxTheApp == nullptr)
        return work(abort) ? FetchEnd::kDone : FetchEnd::kFailed;

    std::atomic<bool> finished{false};
    bool succeeded = false;
    CaptionedProgress progress(caption, text, parent != nullptr ? parent : wxTheApp->GetTopWindow(),
                               wxPD_APP_MODAL | wxPD_CAN_ABORT | wxPD_AUTO_HIDE | wxPD_ELAPSED_TIME);
    // A program that is stopping refuses new questions: nothing is fetched.
    if (wxModalDialogHook::CallEnter(&progress) != wxID_NONE)
        return FetchEnd::kCancelled;
    // Closed from outside (a stop ends the open dialogs): the worker must know
    // before it gets the answer of a question ended by the same stop.
    progress.Bind(wxEVT_CLOSE_WINDOW,
                  [&abort](wxCloseEvent& event)
                  {
                      abort = true;
                      event.Skip();
                  });

    // The worker only uses what this frame owns, and is joined before it goes.
    std::thread worker(
        [&]
        {
            succeeded = work(abort);
            finished = true;
        });
    const std::thread::id workerId = worker.get_id();
    // Pulsing goes on after Cancel: the dialog's loop is what keeps the
    // window painting while the transfer winds down. The worker may wait for
    // an answer meanwhile (a password), which only this loop can give.
    while (!finished)
    {
        if (!progress.Pulse())
            abort = true;
        ServeRequests(abort ? workerId : std::thread::id());
        wxMilliSleep(kPollMilliseconds);
    }
    worker.join();
    wxModalDialogHook::CallExit(&progress);
    // A cancel that came as the work ended still wins: the user chose to drop
    // it (or the program is stopping and ended the dialog).
    if (abort || progress.WasCancelled())
        return FetchEnd::kCancelled;
    return succeeded ? FetchEnd::kDone : FetchEnd::kFailed;
}
} // namespace ui
