#pragma once

#include "foundation/uString.h"

namespace feeds
{

// The documents folder named by XDG_DOCUMENTS_DIR in the text of a
// user-dirs.dirs file, with a leading "$HOME" replaced by `home`. Empty when
// the text names none, or names one that is not then absolute. A later line
// wins over an earlier one, as when the file is sourced by a shell.
uString ParseUserDirsDocuments(const char* fileText, const char* home);

// The user's documents folder: XDG_DOCUMENTS_DIR from
// ${XDG_CONFIG_HOME:-$HOME/.config}/user-dirs.dirs, else $HOME/Documents.
// It is created with its parents when missing. False when no home folder is
// known or the folder cannot be made.
bool GetDocumentsDirectory(uString& folder);

} // namespace feeds
