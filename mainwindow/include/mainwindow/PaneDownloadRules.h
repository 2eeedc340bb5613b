#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Which downloads of the browser pane the program opens itself, and where
// they are kept; no window needed.
namespace panedownload
{
/// The message that opens a download of the pane in the program, as the
/// desktop hands such a file over: by its content type when that names a
/// torrent, a feed or an outline, else by the ending of its name (the
/// suggested file name, then the path of its address). 0: the download is
/// left to the desktop.
std::uint32_t MessageFor(const std::string& mimeType, const std::string& suggestedName,
                         const std::string& address);

/// The message for a content type alone: a torrent, a feed (RSS, Atom or
/// RDF) or an outline; 0 for any other, plain XML included.
std::uint32_t MessageForType(const std::string& mimeType);

/// ".torrent", ".rss" or ".opml" for those messages; empty for any other.
std::string FileEndingFor(std::uint32_t message);

/// The size a download must have once complete, from its response's
/// content length (as the engine gives it: 0 or all bits set when unknown)
/// and content coding; 0 when it cannot be known (unknown, or coded: the
/// length is then that of the coded bytes).
std::uint64_t ExpectedSize(std::uint64_t contentLength, const std::string& contentEncoding);

/// True when an answer has an end that the program cannot check: a coded
/// body (the engine shows only the decoded bytes, and ends a cut coded
/// stream as complete) or a chunked one (the engine ends one without its
/// last chunk as complete). Such a download never replaces a file already
/// there. An answer that ends with its connection, with no length, no chunks
/// and no coding, has no end to check at all, and is saved as any other.
bool HasUncheckedEnd(const std::string& contentEncoding, const std::string& transferEncoding);

/// Moves a complete save's file (`from`, beside it) to the chosen name
/// `to`, over a file there only when `replace`. False when nothing moved.
bool MoveSaveFile(const std::string& from, const std::string& to, bool replace);

/// Makes a new empty file in `folder` (which must exist) for a download
/// opened with `message`: a name of our own with the message's ending, never
/// one the server suggests, and never a file that was there. False, with an
/// empty path, when no file could be made.
bool MakeDownloadFile(const std::string& folder, std::uint32_t message, std::string& path);

/// True when a Content-Disposition value asks for the body to be saved,
/// not shown.
bool IsAttachment(const std::string& contentDisposition);

/// The name offered for saving a download: the server's name without any
/// folder part (a server's name never chooses the folder), control
/// characters or format characters (Unicode's category Cf: direction
/// controls, which could show "x\u202Efdp.exe" as "xexe.pdf", zero-width
/// ones, the byte-order mark), without leading blanks or dots, and cut to at
/// most 255 bytes at a character, keeping its ending; "download" when nothing
/// usable is left.
std::string SaveName(const std::string& suggestedName);

/// Makes a new empty file beside `chosenPath` for a download to be saved
/// there: a hidden name of the program's own (".kestrova-save-" and six
/// letters or digits), never a file that was there. The download goes into
/// it and takes the chosen name only once complete, so that a download cut
/// short never costs the file it would have replaced. False, with an empty
/// path, when no file could be made.
bool MakeSaveFile(const std::string& chosenPath, std::string& path);

/// True for the names MakeSaveFile gives.
bool IsSaveFileName(const std::string& name);

/// Notes in `folder` (the program's temp folder) where a save's file of
/// MakeSaveFile is, so that a start after a kill finds it wherever the user
/// saved: a file "page-" and six letters or digits ".save" holding its path.
/// False, with an empty path, when no note could be written.
bool MakeSaveNote(const std::string& folder, const std::string& savePath, std::string& notePath);

/// The ending the browser engine gives the file it writes a download into
/// until it is complete; it then takes the download's own name.
constexpr const char* kEnginePartEnding = ".wkdownload";

/// The addresses the user asked for. A page may start downloads by itself
/// (frames, a meta refresh, scripts); only those the user started count: a
/// click or a form of the user's, or an address the user gave the program,
/// in the page itself, and the redirects of that same load. The browser
/// tells each navigation as it decides it, in order, frames' included; the
/// page's own load (never a frame's) is told apart as it starts, is
/// redirected and ends.
class CUserStarts
{
public:
    /// `userStarted`: the user started this navigation. A redirect is
    /// nobody's here: it is the user's only through the page's own load it
    /// belongs to. Any other navigation to an address of the page's load
    /// takes that address's leave away.
    void OnNavigation(const std::string& address, bool userStarted, bool redirect);
    /// The page itself starts a load, that of the navigation decided just
    /// before it (the engine names no address yet): the user's when that
    /// navigation was.
    void OnPageLoadStarted();
    /// The page's own load went on to `address`.
    void OnPageRedirected(const std::string& address);
    /// The page's own load committed, failed or was replaced;
    /// `becameDownload` when it ended because its answer is downloaded.
    void OnPageLoadEnded(bool becameDownload = false);
    /// True when the page's own load under way is the user's and has
    /// reached `address`. A fragment is no part of the address.
    bool IsUserStarted(const std::string& address) const;
    /// Where the page's own load under way that the user started has got
    /// to; empty when there is none.
    std::string UsersPageLoad() const;
    /// True when a login asked of the view is the user's page load's own.
    /// The engine names only the server that asks (`host`, `port`), not the
    /// request, so it is the user's only when the page's own load under way
    /// is the user's, is still asking for `mainRequest` (the page's own
    /// request in flight; empty when none) where it has got to, at that
    /// server, and no other request in flight (`otherRequests`: frames',
    /// images', scripts', the old page's too) goes there. A proxy's
    /// question (`forProxy`) is the user's while the user's load is under
    /// way.
    bool IsUsersLogin(const std::string& host, int port, bool forProxy, const std::string& mainRequest,
                      const std::vector<std::string>& otherRequests) const;
    /// True for a download that came with no answer to decide on: the
    /// newest navigation decided was the user's own to `address`, not a
    /// redirect, and was asked for by `referrer`, the page itself as shown
    /// (`shownPage`), a page of the web rather than one the program wrote.
    bool IsUnansweredUsers(const std::string& address, const std::string& referrer,
                           const std::string& shownPage) const;
    /// A download of `address` was let through: its navigation's leave is
    /// used up. The addresses of that navigation (empty when none).
    std::vector<std::string> UseUp(const std::string& address);
    /// The answer of the page's load to `address` is let through as a
    /// download, using the load's leave up: the next download to start is
    /// taken when it is of that load, and only until then, or until any
    /// navigation is decided, or that load ends other than by downloading.
    void Accept(const std::string& address);
    /// A download starts: true when it is the accepted load's. Ends the
    /// acceptance either way.
    bool TakeAccepted(const std::string& address);

private:
    // The newest navigation decided, until a load of the page takes it.
    std::string m_newest;
    bool m_newestIsUsers = false;
    // The page's own load under way, when the user's.
    std::vector<std::string> m_pageLoad;
    // The addresses of the load whose answer is becoming a download.
    std::vector<std::string> m_accepted;
};

/// True for the names MakeDownloadFile gives ("page-" and six letters or
/// digits, then a message's ending), also with the engine's part ending.
bool IsDownloadFileName(const std::string& name);

/// Removes from `folder` the files of MakeDownloadFile, with the engine's
/// parts of them, that an earlier run left (closed or killed before it was
/// done with them); and for each note of MakeSaveNote there, the file of
/// MakeSaveFile it names and the engine's part of it, then the note. Only
/// files of exactly those names go. At start, while no other instance
/// runs. Returns the count of files removed.
int RemoveLeftoverFiles(const std::string& folder);
} // namespace panedownload
