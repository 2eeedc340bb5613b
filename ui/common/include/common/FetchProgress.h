#pragma once

#include "foundation/uString.h"

#include <atomic>
#include <functional>

class wxWindow;

namespace ui
{
/// How a fetch started from the window ended.
enum class FetchEnd
{
    kDone,      ///< the work reported success
    kFailed,    ///< the work reported failure: the caller tells the user as before
    kCancelled, ///< the user pressed Cancel: whatever the work did is to be dropped, silently
};

/// The network part of a command: runs on a worker thread, hands `abort` to
/// every transfer it makes (so that Cancel ends them) and touches no window.
using FetchWork = std::function<bool(const std::atomic<bool>& abort)>;

/// Runs the work on a worker while a modal progress dialog with Cancel,
/// titled `caption` and showing `text`, keeps the window painting and its
/// timers firing: a slow or stalled server never freezes the window. Returns
/// once the worker has ended, which Cancel makes prompt. The worker's
/// questions (PostUiRequest) are shown meanwhile; after Cancel they are
/// answered without asking. The dialog counts as a modal one for the hooks
/// that watch them (a hook that refuses it, or ends it, cancels the fetch).
/// The parent defaults to the top window. Without a toolkit application (a
/// program with no window) the work runs on the calling thread. UI thread
/// only.
FetchEnd RunFetch(wxWindow* parent, const uString& caption, const uString& text, const FetchWork& work);

/// A question a worker puts to the user, run once on the UI thread. With
/// `refused` true it answers without asking: the fetch it belongs to was
/// cancelled.
using UiRequest = std::function<void(bool refused)>;

/// Hands a request from a worker to the UI thread: it runs at the next turn
/// of the event loop or, while RunFetch waits, at the progress dialog's next
/// pulse (that loop runs no other queued work), whichever comes first. False
/// without a toolkit application: nothing would run it. Any thread.
bool PostUiRequest(UiRequest request);
} // namespace ui
