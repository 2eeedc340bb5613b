#pragma once

#include "foundation/uString.h"

#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

class wxWindow;

namespace ui
{
/// What a file dialog asks for.
struct FileRequest
{
    /// A save dialog, else an open dialog of existing files. A save asks
    /// before it gives a file that exists, extension added, and "No" goes
    /// back to the dialog.
    bool save = false;
    uString filter;      ///< wx form: "Label|*.a;*.b|Label|*.c"
    uString defaultName; ///< file name offered first
    uString defaultDir;  ///< folder shown first; the toolkit's choice when empty
    /// Extensions (without the dot), one per filter entry: a name typed
    /// without one gets the extension of the chosen entry, since what a save
    /// writes depends on it.
    std::vector<uString> extensions;
};

/// Asks the user for a file. The program uses the desktop's file dialog;
/// tests install an answer of their own. UI thread only.
class CFileChooser
{
public:
    virtual ~CFileChooser() = default;
    /// The chosen path, or empty when the user cancelled.
    virtual uString Choose(wxWindow* parent, const FileRequest& request) = 0;
    /// The filter entry the last choice was made with; -1 when unknown.
    virtual int ChosenFilter() const { return -1; }
    /// Replaces the chooser in use; null restores the file dialog.
    static void Install(std::shared_ptr<CFileChooser> chooser);
};

/// Runs the installed chooser; the filter entry chosen goes into
/// filterIndex when given (-1 when unknown).
uString ChooseFile(wxWindow* parent, const FileRequest& request, int* filterIndex = nullptr);

/// A filter of named entries (string id of the name in the interface
/// language, then the patterns as they are), in the wx form.
uString FilterOf(std::initializer_list<std::pair<int, const char*>> entries);

/// The path with the extension added when its file name has none.
uString WithExtension(const uString& path, const uString& extension);
} // namespace ui
