#pragma once

#include "foundation/uFile.h"
#include "foundation/uString.h"

#include <cstdint>

// Helpers of the feed store for texts that come from feeds or from the
// database and end up in paths or statements.
namespace feeds
{

// The leading decimal digits of a text as a number, 0 when it starts with
// anything else (a feed's "sixty" or "1,234" must not reach SQL as text).
int64_t LeadingInteger(const uString& text);
// The same, limited to the range of a 32-bit integer.
int LeadingInt(const uString& text);

// The lower-case hex MD5 of the text's bytes: names icons, offline pages and
// .torrent files.
uString Md5Hex(const uString& text);

// The offline copy of an item: "<archive>/<channel title as SafeFileName>/
// <MD5 of the link>.html".
uFile ArchivePageFile(const uFile& archiveDir, const uString& channelTitle, const uString& link);

// The file or folder that a stored local file name (relative to the library
// folder, or absolute) names under `root`, when it lies inside `root` after
// resolving "..", and symbolic links of its parent folders. False otherwise,
// also when `root` does not exist.
bool ResolveInside(const uFile& root, const uString& localFile, uString& path);

// True when the local file exists under the library folder or under the
// default library folder.
bool LibraryFileExists(const uString& localFile);
// Deletes what the local file names under the library folder, else under the
// default library folder: a file, a symbolic link (never followed) or a
// folder with its content. Nothing outside those folders is touched. The
// path that was deleted goes to `deleted`; false when nothing was deleted.
bool DeleteLibraryFile(const uString& localFile, uString& deleted);

} // namespace feeds
