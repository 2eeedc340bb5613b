// Steps of the frame's start and close whose work belongs to parts of the
// window that are not built yet. Each keeps its place in the order; the part
// that owns it fills it in.
#include "CommandIds.h"
#include "EmbeddedImages.h"
#include "downloads/DownloadManager.h"
#include "mainwindow/DesktopIntegration.h"
#include "mainwindow/MainFrame.h"

namespace
{
// The images the desktop shows for the program and its file types.
std::string_view EmbeddedPng(int id)
{
    for (std::size_t i = 0; i < resources::kEmbeddedImageCount; ++i)
    {
        const resources::EmbeddedImage& image = resources::kEmbeddedImages[i];
        if (image.id == id && image.data != nullptr)
            return {reinterpret_cast<const char*>(image.data), image.size};
    }
    return {};
}

desktop::CDesktopIntegration Desktop()
{
    return desktop::CDesktopIntegration(desktop::Folders::FromEnvironment(),
                                        desktop::CDesktopIntegration::RunningProgramPath());
}
} // namespace

// The desktop's file types for the program (feeds, outlines, torrents with the
// engine loaded). Failures are silent: the program then runs unregistered.
void CMainFrame::RegisterFileTypes()
{
    bool withTorrent = m_downloadManager && m_downloadManager->HasTorrentEngine();
    Desktop().RegisterFileTypes(withTorrent, EmbeddedPng);
}

// Starts the program at logon, or stops doing so.
void CMainFrame::UpdateRunAtLogon(bool startAtLogon)
{
    if (startAtLogon)
        Desktop().SetRunAtLogon();
    else
        Desktop().RemoveRunAtLogon();
}
