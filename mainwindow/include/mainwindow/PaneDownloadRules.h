#pragma once

#include "foundation/uFile.h"

#include <cstdint>
#include <string>

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

/// A file as it is under a name, told apart from any that takes the name
/// later, also one that gets the inode number a removed file left: by when
/// it was made where the file system tells, else by when it last changed
/// (so that a change makes it another file: in doubt, none is replaced); all
/// 0 for none.
struct FileId
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t born = 0;    // nanoseconds; 0: not told
    std::int64_t changed = 0; // nanoseconds

    bool IsNone() const { return device == 0 && inode == 0; }
    bool IsSameAs(const FileId& other) const
    {
        if (IsNone() || device != other.device || inode != other.inode)
            return false;
        return born != 0 && other.born != 0 ? born == other.born : changed == other.changed;
    }
};

/// The file under `path` now (a link itself, not what it leads to); none
/// when there is none.
FileId FileUnder(const std::string& path);

/// Moves a complete save's file (`from`, beside it) to the chosen name
/// `to`, over a file there only when it is still `replaceable` (the one the
/// user agreed to replace; none: over no file), never over one that took the
/// name since; on a file system without renameat2's flags or hard links, by
/// an empty file that claims the name first. False when nothing moved, with
/// errno EEXIST when a file there stayed.
bool MoveSaveFile(const std::string& from, const std::string& to, const FileId& replaceable = FileId());

/// A save kept beside a file of the same name takes the numbered name a
/// file manager gives a kept copy (numbers from 1).
using ::NumberedName;

/// Moves a complete save's file (`from`) beside `chosen`, where a file
/// stays, under the first free NumberedName of its name in its folder; the
/// path taken in `savedAs`. False when nothing moved.
bool MoveSaveFileBeside(const std::string& from, const std::string& chosen, std::string& savedAs);

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
/// MakeSaveFile is, the name the user chose for it and the size it must
/// have once complete (0: not known), so that a start after a stop or a kill
/// finds it wherever the user saved: a file "page-" and six letters or
/// digits ".save" holding the two paths and the size, each ended by a NUL.
/// False, with an empty path, when no note could be written.
bool MakeSaveNote(const std::string& folder, const std::string& savePath, const std::string& chosenPath,
                  std::uint64_t expectedSize, std::string& notePath);

/// The ending the browser engine gives the file it writes a download into
/// until it is complete; it then takes the download's own name.
constexpr const char* kEnginePartEnding = ".wkdownload";

/// True for the names MakeDownloadFile gives ("page-" and six letters or
/// digits, then a message's ending), also with the engine's part ending.
bool IsDownloadFileName(const std::string& name);

/// Removes from `folder` the files of MakeDownloadFile, with the engine's
/// parts of them, that an earlier run left (closed or killed before it was
/// done with them); and for each note of MakeSaveNote there, the file of
/// MakeSaveFile it names and the engine's part of it, then the note. A
/// save's file the engine had written whole (its part gone, the file of the
/// size noted, or of any size but 0 when none is) stays the user's: it takes
/// the name noted, or a NumberedName beside it when a file is there now, or
/// keeps its own where the file system refuses those moves. Only files of
/// exactly those names go. At start, while no other instance runs. Returns
/// the count of files removed.
int RemoveLeftoverFiles(const std::string& folder);
} // namespace panedownload
