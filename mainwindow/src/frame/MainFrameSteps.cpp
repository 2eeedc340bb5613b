// Steps of the frame's start and close whose work belongs to parts of the
// window that are not built yet. Each keeps its place in the order; the part
// that owns it fills it in.
#include "mainwindow/MainFrame.h"

// The interface language, chosen before any window exists.
void CMainFrame::ChooseLanguage() {}

// The shell's file types for the program (".rss", ".opml", ".torrent" with the
// engine loaded).
void CMainFrame::RegisterFileTypes() {}

// The check for a newer version of the program.
void CMainFrame::CheckForUpdate() {}

// Starts the program at logon, or stops doing so.
void CMainFrame::UpdateRunAtLogon(bool) {}
