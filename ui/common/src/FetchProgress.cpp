#include "common/FetchProgress.h"

#include <thread>
#include <wx/app.h>
#include <wx/progdlg.h>
#include <wx/utils.h>

namespace ui
{
namespace
{
// Short enough that the dialog follows the pointer and Cancel is felt at once.
constexpr unsigned long kPollMilliseconds = 20;
} // namespace

FetchEnd RunFetch(wxWindow* parent, const uString& caption, const uString& text, const FetchWork& work)
{
    std::atomic<bool> abort{false};
    if (wxTheApp == nullptr)
        return work(abort) ? FetchEnd::kDone : FetchEnd::kFailed;

    std::atomic<bool> finished{false};
    bool succeeded = false;
    // The worker only uses what this frame owns, and is joined before it goes.
    std::thread worker(
        [&]
        {
            succeeded = work(abort);
            finished = true;
        });
    {
        wxProgressDialog progress(wxString::FromUTF8(caption.c_str()), wxString::FromUTF8(text.c_str()), 100,
                                  parent != nullptr ? parent : wxTheApp->GetTopWindow(),
                                  wxPD_APP_MODAL | wxPD_CAN_ABORT | wxPD_AUTO_HIDE | wxPD_ELAPSED_TIME);
        // Pulsing goes on after Cancel: the dialog's loop is what keeps the
        // window painting while the transfer winds down.
        while (!finished)
        {
            if (!progress.Pulse())
                abort = true;
            wxMilliSleep(kPollMilliseconds);
        }
    }
    worker.join();
    // A cancel that came as the work ended still wins: the user chose to drop it.
    if (abort)
        return FetchEnd::kCancelled;
    return succeeded ? FetchEnd::kDone : FetchEnd::kFailed;
}
} // namespace ui
