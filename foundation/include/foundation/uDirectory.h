#pragma once

// Whole-file and whole-directory operations on paths. Walks never change the
// process's current directory, and entry order is whatever the file system gives.

#include <cstdio>
#include <functional>
#include <string>

// Copies one regular, visible file (policies: uFile::kCopyAlways,
// kCopyUnlessNewer, kCopyUnlessExists). True when copied or skipped by the policy;
// false when refused (source missing, hidden or no regular file, destination a
// directory) or failed. A failed copy leaves no destination behind.
bool CopyFile(const char* source, const char* destination, int policy);

// Copies every entry of one directory into another (created, one level, when
// missing). True when every entry was copied or skipped; subdirectories and
// hidden files are refused, so their presence makes the result false while the
// other files are still copied.
bool CopyDirectoryFiles(const char* source, const char* destination, int policy);
bool CopyDirectory(const char* source, const char* destination);
bool UpdateDirectory(const char* source, const char* destination);

// The entry names ("." and ".." skipped) as a heap array of heap strings ended
// by a null entry; free every string and the array with free(). Null for an
// empty path; an empty array when the directory cannot be read.
char** ListFileNames(const char* directory);

// Every entry name, "." and ".." included, each followed by CR LF.
void PrintDirectory(FILE* stream, const char* directory);

// Deletes a directory with everything in it. Symbolic links inside it are
// removed, never followed; a path that is itself a symbolic link is left alone.
void RemoveDirectoryTree(const char* directory);

// Deletes the regular files directly in a directory whose names the test
// accepts; links and folders stay whatever their names. Returns the count.
int RemoveFilesNamed(const char* directory, const std::function<bool(const std::string& name)>& test);

// The name, less its last six letters or digits, of the temporary file that a
// replacing write of a file called `target` makes beside it
// (uFile::replaceContents): "." + target + ".kestrova-". Hidden and marked
// with the program's name, so that no name a user gives a copy by hand
// ("config.xml.backup") is ever taken for one. A target too long for the
// mark to fit in a name is cut, on a character boundary.
std::string ReplacementTempPrefix(const std::string& target);

// True when `name` is, in exactly that form, the temporary file of a
// replacing write of `target`, as a kill during the write leaves it behind.
bool IsReplacementTemp(const std::string& name, const std::string& target);

// The target (as cut) that a temporary name of that form was made for; empty
// for any other name.
std::string ReplacementTempTarget(const std::string& name);
