#include "mainwindow/FileChooser.h"

#include <wx/filedlg.h>

namespace ui
{
namespace
{
class DialogChooser : public CFileChooser
{
public:
    uString Choose(wxWindow* parent, const FileRequest& request) override
    {
        long style = request.save ? wxFD_SAVE | wxFD_OVERWRITE_PROMPT : wxFD_OPEN | wxFD_FILE_MUST_EXIST;
        wxFileDialog dialog(parent, wxFileSelectorPromptStr, wxString::FromUTF8(request.defaultDir.c_str()),
                            wxString::FromUTF8(request.defaultName.c_str()),
                            wxString::FromUTF8(request.filter.c_str()), style);
        if (dialog.ShowModal() != wxID_OK)
            return uString();
        uString path(dialog.GetPath().utf8_str().data());
        // Without filters the toolkit has no index to give.
        if (!request.save || request.filter.isEmpty())
            return path;
        int index = dialog.GetFilterIndex();
        if (index >= 0 && static_cast<std::size_t>(index) < request.extensions.size())
            path = WithExtension(path, request.extensions[static_cast<std::size_t>(index)]);
        return path;
    }
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

uString ChooseFile(wxWindow* parent, const FileRequest& request)
{
    std::shared_ptr<CFileChooser> chooser = Installed();
    if (!chooser)
        chooser = std::make_shared<DialogChooser>();
    return chooser->Choose(parent, request);
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
