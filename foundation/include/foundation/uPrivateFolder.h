#pragma once

#include <string>

// Folders the program finds by a fixed name (its lock files, its instance
// socket, the link to its own library, its settings when there is no home)
// are trusted only where nobody else can take them away and put their own in
// their place. Every such folder is found through these functions.

// True when nobody but the user and root can rename or replace `folder` or
// any folder above it (nor a link on the way, nor what it leads to): each is
// a folder of root's or the user's that nobody else may write to, or whose
// sticky bit keeps others from renaming what is not theirs.
bool IsSwapProofFolder(const std::string& folder);

// `name` in `parent`, made 0700 when missing: its path when it is a folder
// (not a link) of the user's own that nobody else may enter, in a parent
// nobody else can swap; empty otherwise.
std::string OwnFolderIn(const std::string& parent, const std::string& name);

// $XDG_RUNTIME_DIR when it is the user's own, closed to others and nobody
// else can swap it; empty otherwise.
std::string UserRuntimeFolder();

// $TMPDIR when it is an absolute path, else "/tmp". Not checked.
std::string TemporaryFolder();

// "kestrova-<uid>" in the temporary folder, through OwnFolderIn.
std::string PrivateTemporaryFolder();

// "kestrova" in the user's cache folder ($XDG_CACHE_HOME, else ~/.cache),
// each made 0700 when missing, and closed to others when the user's own;
// through OwnFolderIn, so empty where others could swap it.
std::string UserCacheFolder();

// $HOME, else the home folder the password database gives the user; empty
// when neither is an absolute path.
std::string UserHomeFolder();
