#pragma once

#include "foundation/uString.h"

#include <cstdint>
#include <functional>
#include <memory>

class CUserActs;
class CUserActWatch;
class wxWebView;

// The downloads a browser view starts. Only a download the user started is
// taken (CUserActs): the answer of a load of the page itself (never a
// frame's) that the user's own press or an address given to the program
// started, through that load's own redirects; or a download that comes
// without an answer, from the user's own press on a link of a web page
// itself. Every other download (a frame's, a meta refresh's, a script's, a
// key's) is refused before anything is written. So is every login the view
// is asked for but one of the user's own load of the page. A feed or an
// outline that load brings goes to the program even where the view could
// show it as text.
// A taken download that is one of the program's own documents (by
// panedownload::MessageFor) is fetched into the hooks' folder under a new
// name and, once complete, handed to the hooks with the message that opens
// it, except a feed, which is not fetched at all: its address goes to the
// hooks, to be subscribed as it is on the network (so does the address of a
// feed the user followed that asks for a login). Any other download is
// saved where the user chooses (none without `saveAs`): into a new file
// beside the chosen one, which takes the chosen name only once complete, so
// that a file there is never lost to a broken download. A file there is
// replaced only by a download known complete, and only when it is the very
// file the user agreed to replace; a download whose end cannot be checked (a
// chunked or coded answer), or one whose name another file took meanwhile,
// is kept beside it under a free name; a whole one the file system will
// not move there stays under its own. A save the engine abandons (its
// network process died) ends as failed and leaves no file; a download the
// engine has let go is never called again, whatever the user answers.
// Without hooks no download is taken.
//
// User-interface thread only.
class CPaneDownloads
{
public:
    struct Hooks
    {
        // The folder the documents are fetched into, asked at each download.
        std::function<uString()> folder;
        // A document fetched completely: the message and the file's path.
        std::function<void(std::uint32_t message, const uString& path)> open;
        // Where to save a download the program does not open itself, given
        // the name to offer; empty when the user cancelled. Asked after the
        // engine's signal has returned, so it may run a dialog.
        std::function<uString(const uString& name)> saveAs;
        // A saved download is complete (true) or failed (false).
        std::function<void(bool saved, const uString& path)> saved;
        // The user cancelled the save of the download offered under `name`.
        std::function<void(const uString& name)> cancelled;
        // A saved download is complete but not under the name the user
        // chose: it is under `savedAs` beside it, because its end cannot be
        // checked, because another file took the name after the user chose
        // it (the file under `chosen` stays either way), or because the
        // file system refused to move it there.
        enum class Beside
        {
            kEndUnchecked,
            kLaterFile,
            kMoveRefused,
        };
        std::function<void(const uString& chosen, const uString& savedAs, Beside why)> savedBeside;
        // A feed's address; the response itself is dropped.
        std::function<void(const uString& address)> subscribe;
    };

    // Made with the view, and destroyed before it and before `watch`;
    // `acts` tells which downloads and logins are the user's, `watch` which
    // requests are in flight.
    CPaneDownloads(wxWebView* view, std::shared_ptr<CUserActs> acts, const CUserActWatch& watch);
    // Downloads still running are no longer handed on; their files stay.
    ~CPaneDownloads();
    CPaneDownloads(const CPaneDownloads&) = delete;
    CPaneDownloads& operator=(const CPaneDownloads&) = delete;

    void SetHooks(Hooks hooks);

    // The name to offer for a save into `folder`: `name`, or the first
    // numbered name beside it that no save under way will take and no file
    // there has.
    static uString FreeSaveName(const uString& folder, const uString& name);
    // True while a download being saved has not ended, in any pane.
    static bool SavesUnderWay();
    // At the program's end, once the panes are gone: a save the engine has
    // written whole takes its name, as at its end; every other save is
    // given up and its file removed, so that nothing but a whole download
    // is under the name the user chose.
    static void EndSaves();

    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
    void* m_context = nullptr;
    unsigned long m_signal = 0;
    unsigned long m_policySignal = 0;
    unsigned long m_loginSignal = 0;
};
