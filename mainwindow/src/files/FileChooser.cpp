#include "mainwindow/FileChooser.h"

#include "StringTable.h"
#include "common/UserPrompt.h"

#include <filesystem>
#include <system_error>
#include <wx/filedlg.h>

namespace ui
{
namespace
{
constexpr int kTitleString = 3095;
constexpr int kReplaceString = 3096;

// A link counts as the file it stands for, and a dangling one as taken too:
// writing there would replace it.
bool Taken(const uString& path)
{
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path.c_str(), error));
}

class DialogChooser : public CFileChooser
{
public:
    uString Choose(wxWindow* parent, const FileRequest& request) override
    {
        // No toolkit question: it would name the file as typed, before the
        // filter's extension is added, and speak the desktop's language.
        long style = request.save ? wxFD_SAVE : wxFD_OPEN | wxFD_FILE_MUST_EXIST;
        wxFileDialog dialog(parent, wxString::FromUTF8(resources::StringText(kTitleString).c_str()),
                            wxString::FromUTF8(request.defaultDir.c_str()),
                            wxString::FromUTF8(request.defaultName.c_str()),
                            wxString::FromUTF8(request.filter.c_str()), style);
        uString chosen;
        // The toolkit's Save comes here while the dialog still shows: a
        // "No" leaves the user in it with the name typed.
        dialog.Bind(
            wxEVT_BUTTON,
            [&](wxCommandEvent& event)
            {
                uString path = SavedPath(dialog, request);
                if (request.save && Taken(path) &&
                    ShowPrompt(&dialog, kReplaceString, wxYES_NO | wxNO_DEFAULT | wxICON_WARNING, path) !=
                        wxYES)
                    return;
                chosen = path;
                // Without filters the toolkit has no index to give.
                m_filter = request.filter.isEmpty() ? -1 : dialog.GetFilterIndex();
                event.Skip();
            },
            wxID_OK);
        m_filter = -1;
        if (dialog.ShowModal() != wxID_OK)
            return uString();
        return chosen;
    }
    int ChosenFilter() const override { return m_filter; }

private:
    // The path a save writes: the name typed, with the chosen filter's
    // extension when it has none.
    static uString SavedPath(const wxFileDialog& dialog, const FileRequest& request)
    {
        uString path(dialog.GetPath().utf8_str().data());
        // Without filters the toolkit has no index to give.
        if (!request.save || request.filter.isEmpty())
            return path;
        int index = dialog.GetFilterIndex();
        if (index >= 0 && static_cast<std::size_t>(index) < request.extensions.size())
            path = WithExtension(path, request.extensions[static_cast<std::size_t>(index)]);
        return path;
    }

    int m_filter = -1;
};

std::shared_ptr<CFileChooser>& Installed()
{
    static std::shared_ptr<CFileChooser> chooser;
    return chooser;
}
} // namespace

void CFileChooser::Install(std::shared_ptr<CFileChooser> chooser)
{
    Installed() = std::move(chooser);
}

uString ChooseFile(wxWindow* parent, const FileRequest& request, int* filterIndex)
{
    std::shared_ptr<CFileChooser> chooser = Installed();
    if (!chooser)
        chooser = std::make_shared<DialogChooser>();
    uString path = chooser->Choose(parent, request);
    if (filterIndex != nullptr)
        *filterIndex = path.isEmpty() ? -1 : chooser->ChosenFilter();
    return path;
}

uString FilterOf(std::initializer_list<std::pair<int, const char*>> entries)
{
    std::string filter;
    for (const auto& [name, patterns] : entries)
    {
        if (!filter.empty())
            filter += "|";
        filter += resources::FindString(name);
        filter += "|";
        filter += patterns;
    }
    return uString(filter.c_str());
}

uString WithExtension(const uString& path, const uString& extension)
{
    std::string text = path.c_str();
    std::size_t slash = text.rfind('/');
    std::size_t dot = text.rfind('.');
    bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    if (hasExtension || extension.isEmpty() || text.empty())
        return path;
    return uString((text + "." + extension.c_str()).c_str());
}
} // namespace ui
