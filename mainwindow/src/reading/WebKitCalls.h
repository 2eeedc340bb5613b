#pragma once

// The WebKit functions the browser pane calls itself, beyond what wx offers:
// looked up in the loaded library, all of a group or none. GTK only.
#ifdef __WXGTK__
#include <glib.h>

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
};

// wx has no download event: the pane takes the downloads of the documents
// the program opens itself through the engine's own download signals.
struct DownloadApi
{
    void* (*viewContext)(void* view) = nullptr;
    void* (*downloadView)(void* download) = nullptr;
    void (*setDestination)(void* download, const char* uri) = nullptr;
    void (*download)(void* decision) = nullptr;
    gboolean (*canShow)(void* decision) = nullptr;
    void* (*responseHeaders)(void* response) = nullptr;
    const char* (*header)(void* headers, const char* name) = nullptr;
    void (*cancel)(void* download) = nullptr;
    // Newer engines only, and not part of the group: without it every
    // response counts as the page's own.
    gboolean (*isMainResource)(void* decision) = nullptr;
    // A login the view is asked for: whose, and refusing it. All four or
    // none, outside the group too.
    const char* (*loginHost)(void* request) = nullptr;
    guint (*loginPort)(void* request) = nullptr;
    gboolean (*isForProxy)(void* request) = nullptr;
    void (*cancelLogin)(void* request) = nullptr;
};

// Null members when any function of the group is missing.
const PolicyApi& Policy();
const DownloadApi& Downloads();
} // namespace webkitcalls
#endif
