#pragma once

#include <string>

// Libraries of the program's own in LD_PRELOAD. The processes the browser
// engine starts inherit this process's environment and must load them; every
// program Kestrova starts itself (through RunCommandLine, uProcess and their
// kin, the only way it starts any) gets the environment without them, with
// the user's own entries as they were.

// Appends `library`, an absolute path, to LD_PRELOAD of this process's
// environment after the user's own entries, unless it is there already.
// Sets the environment: call before any thread starts. False, with nothing
// changed, when no such file exists or when its path cannot stand in the
// list, whose entries blanks and colons separate.
bool PreloadOwnLibrary(const std::string& library);

// An LD_PRELOAD list without any entry that is `library`: the other entries,
// and the separators before each, as they were.
std::string WithoutPreloadEntry(const std::string& list, const std::string& library);
