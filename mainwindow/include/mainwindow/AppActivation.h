#pragma once

#include <string>

class CMainFrame;

// What the running (first) instance does with a file opened through the shell,
// the command line or a later instance, and how it comes forward.
namespace app
{
/// Sends a ".rss", ".opml" or ".torrent" path (any letter case) to the main
/// frame with its message; other files are left alone. True when sent.
bool RouteDocument(CMainFrame& frame, const std::string& path);

/// Brings the main window forward: back from the notification area (which
/// refreshes, as a restore does), out of the minimised state, on top.
void BringForward(CMainFrame& frame);

/// A later instance's request: the path is routed like a command-line file;
/// without one the window comes forward.
void ActivateFirstInstance(CMainFrame& frame, const std::string& path);
} // namespace app
