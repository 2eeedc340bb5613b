#pragma once

// The WebKit functions the browser pane calls itself, beyond what wx offers:
// looked up in the loaded library, all of a group or none. GTK only.
#ifdef __WXGTK__
#include <glib.h>
#include <string>

namespace webkitcalls
{
// The view's navigation decisions come to wx without how each navigation
// started; the pane's rule needs that, so it asks WebKit itself, after wx.
struct PolicyApi
{
    void* (*action)(void* decision) = nullptr;
    int (*navigationType)(void* action) = nullptr;
    gboolean (*userGesture)(void* action) = nullptr;
    gboolean (*redirect)(void* action) = nullptr;
    void* (*request)(void* action) = nullptr;
    const char* (*requestUri)(void* request) = nullptr;
    void (*ignore)(void* decision) = nullptr;
    void (*download)(void* decision) = nullptr;
    void* (*response)(void* decision) = nullptr;
    gboolean (*typeSupported)(void* decision) = nullptr;
    gboolean (*mainResource)(void* decision) = nullptr;
    const char* (*mimeType)(void* response) = nullptr;
    const char* (*responseUri)(void* response) = nullptr;
    const char* (*suggestedName)(void* response) = nullptr;
};

// The few functions of WebKit's downloads the pane uses.
struct DownloadApi
{
    void* (*viewContext)(void* view) = nullptr;
    void* (*webView)(void* download) = nullptr;
    void* (*response)(void* download) = nullptr;
    const char* (*mimeType)(void* response) = nullptr;
    const char* (*responseUri)(void* response) = nullptr;
    void (*setDestination)(void* download, const char* uri) = nullptr;
};

// Null members when any function of the group is missing.
const PolicyApi& Policy();
const DownloadApi& Downloads();

// A download's name: the one the server suggests, else the address's last
// part; no folder part, no control characters.
std::string DownloadName(const char* suggested, const char* uri);
} // namespace webkitcalls
#endif
