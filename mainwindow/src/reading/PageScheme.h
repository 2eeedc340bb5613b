#pragma once

#include "foundation/uString.h"
#include "mainwindow/HtmlCtrlPolicy.h"

#include <set>
#include <string>

class wxWebView;

// The program's own scheme, through which the pane's written pages load:
// each written page is a document of its own address in the engine's
// history, so that Back and Forward come back to it, and what the page
// references is served from the template folder and from the local files
// the program named for it. Process-wide, as WebKit hands every request of
// the scheme to the handler registered last; the program has one pane.
// User-interface thread only.
namespace pagescheme
{
using htmlctrl::WrittenPage;

// Registers the scheme with the view's engine, once per process.
void Register(wxWebView* view);
// What the pages may reach besides their own documents: the template
// folder and the local files (full paths) of the page shown now.
void ServeFiles(const uString& templateDir, const std::set<std::string>& files);
// The local file a served address stands for; false for any other address.
bool Resolve(const uString& address, std::string& path);

// The document served at `address` (a written page's), its scripts off.
void Keep(const uString& address, const WrittenPage& page);
void SetAddress(const uString& address, const uString& shown);
bool Find(const uString& address, WrittenPage& page);
void Drop(const uString& address);
} // namespace pagescheme
