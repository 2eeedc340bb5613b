#pragma once

#include "downloads/TransferItem.h"
#include "foundation/uFile.h"
#include "foundation/uString.h"

// Filing downloads into the media library.
namespace library
{

// The last component of a folder's path.
uString FolderName(const uFile& folder);

// Moves a file or a whole folder; across file systems by copying, then
// deleting the source once everything arrived. False leaves the source.
bool MovePath(const uFile& source, const uFile& target);

// 32 lower-case hex digits of the MD5 of the file's bytes; empty when the file
// cannot be read.
uString FileMd5(const uFile& file);

// target's name with "-" and the CRC-32 of the hex text before its extension
// (show.mp3 -> show-1a2b3c4d.mp3); the extension is looked for in the file
// name only, never in the folders above it.
uFile DedupeTarget(const uFile& target, const uString& md5Hex);

// The name itself when nothing exists under it in the folder, otherwise the
// first free NumberedName of it (numbers from 2); empty when none is free.
uString FreeNameIn(const uFile& folder, const uString& name);

// Where a file of that content (`content`, its MD5 as hex) goes in the folder:
// the first of the names FreeNameIn tries that holds a regular file of the
// same content (same = true: it stands for the download) or nothing at all;
// empty when none does.
uString NameForContent(const uFile& folder, const uString& name, const uFile& content, const uString& md5Hex,
                       bool& same);

// Deletes a record's download that never reached the library: its file and,
// for a plain download, the record's own folder under the temp folder.
void RemovePartialDownload(const CTransferItem& record, const uFile& tempDir);

// Removes the record's folder under the temp folder when it is empty.
void RemoveRecordFolder(const CTransferItem& record, const uFile& tempDir);

} // namespace library
