#pragma once

#include <functional>
#include <string>

class CMainFrame;

namespace app
{
/// Makes the main window take files dropped on it: each dropped file's path
/// goes to `open` once the drop has ended (its handler may run a dialog).
/// Only a drag that began in another program, the desktop's file manager's,
/// brings files: one that began in this program opens nothing and is
/// refused as it is dragged, as a page in the browser pane can start a drag
/// that carries any local file's address it likes.
void AcceptDroppedDocuments(CMainFrame& frame, std::function<void(const std::string& path)> open);
} // namespace app
