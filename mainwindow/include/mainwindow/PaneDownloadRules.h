#pragma once

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

/// Makes a new empty file in `folder` (which must exist) for a download
/// opened with `message`: a name of our own with the message's ending, never
/// one the server suggests, and never a file that was there. False, with an
/// empty path, when no file could be made.
bool MakeDownloadFile(const std::string& folder, std::uint32_t message, std::string& path);

/// True when a Content-Disposition value asks for the body to be saved,
/// not shown.
bool IsAttachment(const std::string& contentDisposition);

/// The file name a Content-Disposition value gives, as the server wrote
/// it: its "filename*" when that is UTF-8, else its "filename" (unquoted);
/// empty when it names none.
std::string DispositionName(const std::string& contentDisposition);

/// True when the browser engine must not download an answer with this
/// Content-Disposition, from this address, itself: its network library
/// frees memory it does not own when a file name holds a "/", which takes
/// down the engine's network process when the name is the server's, or
/// ours when the engine takes it from an escaped "/" in the address.
bool EngineBreaksOnName(const std::string& contentDisposition, const std::string& address);

/// The name offered for saving a download: the server's name without any
/// folder part (a server's name never chooses the folder), control
/// characters or direction and format controls (which could show
/// "x\u202Efdp.exe" as "xexe.pdf"); "download" when nothing usable is left.
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
