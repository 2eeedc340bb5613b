#pragma once

// Helpers shared by the file, path and directory code; not part of the library's interface.

#include "foundation/uString.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace fsutil
{

inline const char* Text(const uString& text)
{
    return text.c_str();
}

inline std::string ToStd(const uString& text)
{
    return std::string(text.c_str(), static_cast<size_t>(text.getLength()));
}

// Replaces the text by exactly these bytes, NULs included; false when memory is short.
bool AssignBytes(uString& target, const std::string& bytes);

// open(2) with O_CLOEXEC added, retried on EINTR; -1 on failure (errno kept).
int OpenFile(const char* path, int flags, mode_t permissions = 0666);
void CloseFile(int descriptor);

// The exclusive lock that stands for "no sharing": flock(LOCK_EX | LOCK_NB).
bool LockExclusive(int descriptor);

// True when another open file description holds the exclusive lock on the
// regular file at path. Deleting or moving such a file is refused.
bool IsHeldOpen(const char* path);

bool WriteAll(int descriptor, const void* data, size_t size);
// Writes the bytes, flushed, into a new hidden temporary file beside the file `name` in
// `directory` (given with its trailing "/", or empty), named by ReplacementTempPrefix in
// foundation/uDirectory.h, with these permissions: its path, for uFile::replaceWith, or empty
// on failure (nothing left behind).
std::string WriteReplacement(const std::string& directory, const std::string& name, const void* data,
                             size_t size, unsigned permissions);
// Copies every byte from one descriptor to another; false on a read or write error.
bool CopyContents(int from, int to);
// Flushes the directory holding path, so that a rename there survives a crash.
void SyncParentDirectory(const std::string& path);

// directory + "/" + name with exactly one separator at the seam; an empty
// directory gives the bare name.
std::string JoinPath(const std::string& directory, const std::string& name);
// The current directory joined with a relative path, then "." and ".." and
// repeated separators removed, without consulting the file system.
std::string MakeAbsoluteLexically(const std::string& path);
std::string CurrentDirectory();

} // namespace fsutil
