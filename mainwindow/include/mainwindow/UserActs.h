#pragma once

#include "mainwindow/HtmlCtrlPolicy.h"

#include <string>
#include <vector>

// Whether an act in the browser pane is the user's own, in the page itself.
// Every hand-off of the pane asks here: a download, a torrent, a feed, an
// outline, a login box, a new window, a print; and so does the leaving of a
// page the program wrote.
//
// What counts as the user's: a press of a mouse button on the view that
// lands in the page itself (its top document, or a frame whose text the
// page holds, srcdoc) on a link or a form's button, and the navigation of
// that very link or form that follows; a command of the program (an
// address given, Back, Forward, Reload); and the redirects of the page's own
// load that one of those started. A key that activates a link the page
// focused, a script's click (even inside the user's), a press inside the
// frame of another document, and whatever a page does by itself are not.
//
// What the program sees of it: the toolkit's button and key presses on the
// view; the report of a script of the program's own, run in every document
// in a script world of its own, on each click the engine marks as trusted
// (where it landed, on which link or button, and whether a mouse button
// made it); the engine's hit tests of the link under the pointer up to
// that click (for a link the script cannot see, in a closed shadow tree: the
// toolkit's press may come before the engine has looked under a pointer
// that has just arrived, but the engine reports its hit tests and its click
// in order); the engine's navigation decisions (kind, gesture, address);
// and the page's own load, never a frame's (its start, its own request and
// that request's end, redirects, commit and end, with their addresses).
//
// Why a page cannot forge it: the presses come from the display server, not
// from the page; the engine marks a click trusted only when the user's input
// made it, never a script; and the page's scripts cannot reach the
// program's script world, its listener or the handler it reports to. A
// press counts once: for the one report that follows it, and that report for
// the navigation the view decides next.
//
// Addresses are compared as addresses (htmlctrl::NormalAddress): the engine
// spells one address differently at its decision, its request and its
// answer (escaped letters decoded, a user name dropped).
//
// A page the program wrote is left only by the user's own navigation: a
// command of the program, the user's mouse press on a link or a form, there
// or in one of its frames, or the user's key activating the link or the
// form's button in focus in the page itself (its scripts are off, so only
// the user's keys move the focus there; a frame's scripts may move it in
// the frame). Where it leads is judged again when it answers: a key
// never hands anything over.
//
// A window a page asks for opens only while the page's own document is
// coming, from the moment it starts to come (commit) until the page's own
// request has ended, whatever its images, frames or streams still do; and
// only one for each load of the page. Before the commit the old page's
// scripts still run, and a load the old page starts must not open windows
// for it. A frame's load, a step inside the page and anything after the
// document never open one. A print a page asks for is never the user's; the
// user prints with the program's own command.
//
// User-interface thread only.
class CUserActs
{
public:
    // What the program's script saw of a click the engine marks as trusted.
    struct PressReport
    {
        enum class Target
        {
            kNone, // on neither a link nor a form's button
            kLink,
            kForm,
        };
        // In the top document, or a srcdoc frame of the page's own.
        bool inPageItself = false;
        // Made by a mouse button; a key's activation is a click of no press.
        bool byMouse = false;
        Target target = Target::kNone;
        // The link's address, or the action of the button's form.
        std::string address;
    };
    // The script's message: "1" or "0" for the page itself, the click's
    // count (0 for a key's), "link", "form" or "none", and the address, each
    // on a line of its own. False for anything else.
    static bool ReadReport(const std::string& message, PressReport& report);

    // A mouse button was pressed on the view.
    void OnViewPressed();
    // A key was pressed on the view: a click that follows is the key's.
    void OnViewKeyPressed();
    void OnPressReported(const PressReport& report);
    // A step inside a page, which the engine asks about ahead of the report
    // of the click that made it and cannot wait for: the link the engine
    // found under the pointer at the press stands for the report, for a
    // click of the first button. The report then finds its press taken.
    void TakePressBeforeReport(const htmlctrl::Navigation& navigation);
    // The engine's hit test: the link under the pointer, empty when none.
    void OnPointerOverLink(const std::string& link);

    // The view decides `navigation` (in order, frames' included);
    // `commanded` when it is a command of the program's. True when it may
    // leave a page the program wrote: the command, what the user's mouse
    // press on that link or form started, in the page itself or in one of
    // its frames, or what the user's key started on the link or button in
    // focus.
    bool OnNavigation(const htmlctrl::Navigation& navigation, bool commanded);
    // The page's own load: it starts, asks for its address with its own
    // request (the user's load when the navigation decided just before it
    // started was, to that address), goes on to another, commits (the page
    // shown is then `address`), and ends. Its own request may end before or
    // after the commit (the document has come), and before the load (its
    // images, frames and streams may go on for ever). A load whose answer
    // became a download fails so.
    void OnPageLoadStarted();
    void OnPageRequested(const std::string& address);
    void OnPageRequestEnded();
    void OnPageRedirected(const std::string& address);
    void OnPageCommitted(const std::string& address);
    void OnPageLoadFinished();
    void OnPageLoadFailed(bool becameDownload);

    // A window the page asks for may open now.
    bool MayOpenWindow() const { return m_windowAllowed; }
    // A window the page asks for opens: true when it may, which it may no
    // more in this load.
    bool TakeWindow();
    // A print asked for by the page itself (`askedByPage`) is never the
    // user's.
    static bool IsUsersPrint(bool askedByPage) { return !askedByPage; }

    // True when the page's own load under way is the user's and has reached
    // `address`. A fragment is no part of the address.
    bool IsUserStarted(const std::string& address) const;
    // What becomes of an answer to `address` that the view has to decide
    // on: one the view can show (`viewCanShow`) is shown, but for an
    // attachment and for a document the program opens itself
    // (`programsDocument`) that the user asked for; such an answer is
    // downloaded when it is the user's: the answer of the page itself
    // (`ofPageItself`, not a frame's) to the user's load. Every other one is
    // refused.
    enum class AnswerUse
    {
        kShow,
        kDownload,
        kRefuse,
    };
    AnswerUse UseOfAnswer(const std::string& address, bool ofPageItself, bool attachment,
                          bool programsDocument, bool viewCanShow) const;
    // Where the page's own load under way that the user started has got to;
    // empty when there is none.
    std::string UsersPageLoad() const;
    // True when a login asked of the view is the user's page load's own.
    // The engine names only the server that asks (`host`, `port`), not the
    // request, so it is the user's only when the page's own load under way
    // is the user's, is still asking for `mainRequest` (the page's own
    // request in flight; empty when none) where it has got to, at that
    // server, and no other request in flight (`otherRequests`: frames',
    // images', scripts', the old page's too) goes there. A proxy's question
    // (`forProxy`) is the user's while the user's load is under way.
    bool IsUsersLogin(const std::string& host, int port, bool forProxy, const std::string& mainRequest,
                      const std::vector<std::string>& otherRequests) const;
    // True for a download that came with no answer to decide on (a link's
    // download attribute): the newest navigation decided was the user's own
    // to `address`, not a redirect, and the page shown is one of the web
    // rather than one the program wrote.
    bool IsUnansweredUsers(const std::string& address) const;
    // A download of `address` was let through: its navigation's leave is
    // used up. The addresses of that navigation (empty when none).
    std::vector<std::string> UseUp(const std::string& address);
    // The answer of the page's load to `address` is let through as a
    // download, using the load's leave up: the next download to start is
    // taken when it is of that load, and only until then, or until any
    // navigation is decided, or that load ends other than by downloading.
    void Accept(const std::string& address);
    // A download starts: true when it is the accepted load's. Ends the
    // acceptance either way.
    bool TakeAccepted(const std::string& address);

private:
    // True when `navigation` is what the user's reported press started;
    // `inPageItself` asks that it be in the page itself.
    bool IsUsersPress(const htmlctrl::Navigation& navigation, bool inPageItself) const;
    // True when `navigation` is the reported click's own link or form.
    bool IsReportedTarget(const htmlctrl::Navigation& navigation) const;

    // A press on the view that no report has followed yet.
    bool m_pressUnreported = false;
    // A key pressed on the view that no report has followed yet.
    bool m_keyUnreported = false;
    // The last press reported, until the next navigation decided: the
    // user's mouse press, and whether in the page itself.
    bool m_pressIsMouse = false;
    bool m_pressIsUsers = false;
    // The last click reported was a key's activation after the user's key.
    bool m_pressIsKey = false;
    PressReport m_press;
    std::string m_linkUnderPointer;
    std::string m_linkAtPress;
    // The newest navigation decided, until a load of the page takes it.
    std::string m_newest;
    bool m_newestIsUsers = false;
    // The page's own load under way, when the user's.
    std::vector<std::string> m_pageLoad;
    // The load started has not asked for its address yet; what the user's
    // navigation before it went to, empty when it was not the user's.
    bool m_requestAwaited = false;
    std::string m_startedFor;
    // The addresses of the load whose answer is becoming a download.
    std::vector<std::string> m_accepted;
    // The page the view shows, as committed.
    std::string m_shownPage;
    // The page's own request of the load under way has started and not
    // ended: its document is still to come.
    bool m_documentComing = false;
    bool m_windowAllowed = false;
};
