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

/// True for the names MakeDownloadFile gives ("page-" and six letters or
/// digits, then a message's ending).
bool IsDownloadFileName(const std::string& name);

/// Removes from `folder` the files of MakeDownloadFile that an earlier run
/// left (closed or killed before it was done with them). At start, while no
/// other instance runs. Returns the count.
int RemoveLeftoverFiles(const std::string& folder);
} // namespace panedownload
