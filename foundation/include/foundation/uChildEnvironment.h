#pragma once

#include <string>

// Libraries of the program's own in LD_PRELOAD. The processes the browser
// engine starts inherit this process's environment and must load them; every
// program Kestrova starts itself (through RunCommandLine, uProcess and their
// kin, the only way it starts any) gets the environment without them, with
// the user's own entries as they were.

// Appends `library`, an absolute path, to LD_PRELOAD of this process's
// environment after the user's own entries, unless it is there already.
// The list's entries are separated by blanks and colons, and a "$" starts a
// name the dynamic linker replaces: a path holding one of these stands in it
// as a link in a folder of the user's own ($XDG_RUNTIME_DIR/kestrova, else
// kestrova-<uid> in the temporary folder; where that folder is
// not the user's alone or others could swap it, one of an unguessable name
// made for this run, which a later start removes when this run was killed). Sets
// the environment: call before any thread starts. False, with nothing
// changed, when no such file exists or it cannot be reached.
bool PreloadOwnLibrary(const std::string& library);

// Removes the folder made for this run, if any. Runs by itself when the
// process exits normally; a program that ends otherwise calls it first.
void RemovePreloadFolder();

// An LD_PRELOAD list without any entry that is `library`: the other entries,
// and the separators before each, as they were.
std::string WithoutPreloadEntry(const std::string& list, const std::string& library);
