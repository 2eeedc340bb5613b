#pragma once

// The WebKit functions the browser pane calls itself, beyond what wx offers:
// looked up in the loaded library, all of a group or none. GTK only.
#ifdef __WXGTK__
#include <gio/gio.h>

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
    // The button of the click that started it; 0 for a script's click or
    // none at all, 1 for a key's activation as for a real press.
    unsigned (*mouseButton)(void* action) = nullptr;
    void* (*request)(void* action) = nullptr;
    const char* (*requestUri)(void* request) = nullptr;
    void (*ignore)(void* decision) = nullptr;
};

// wx has no download event: the pane decides which downloads it takes, and
// where they go, through the engine's own download signals.
struct DownloadApi
{
    void* (*viewContext)(void* view) = nullptr;
    void* (*downloadView)(void* download) = nullptr;
    void* (*downloadRequest)(void* download) = nullptr;
    const char* (*requestUri)(void* request) = nullptr;
    void (*setDestination)(void* download, const char* uri) = nullptr;
    void (*cancel)(void* download) = nullptr;
    void (*download)(void* decision) = nullptr;
    void (*ignore)(void* decision) = nullptr;
    gboolean (*canShow)(void* decision) = nullptr;
    void* (*responseHeaders)(void* response) = nullptr;
    const char* (*header)(void* headers, const char* name) = nullptr;
    // Newer engines only, and not part of the group: without it every
    // response counts as the page's own.
    gboolean (*isMainResource)(void* decision) = nullptr;
    // A login the view is asked for: whose, refusing it, and the requests
    // in flight it may be for. All six or none, outside the group too.
    const char* (*loginHost)(void* request) = nullptr;
    guint (*loginPort)(void* request) = nullptr;
    gboolean (*isForProxy)(void* request) = nullptr;
    void (*cancelLogin)(void* request) = nullptr;
    void* (*mainResource)(void* view) = nullptr;
    const char* (*resourceUri)(void* resource) = nullptr;
};

// The program's scheme, registered with WebKit itself rather than through
// wx: WebKit takes a scheme once per process and keeps the view that
// registered it as its data, which would outlive that view; and it can
// stream a file, where wx's handlers read it whole into memory.
struct SchemeApi
{
    void* (*viewContext)(void* view) = nullptr;
    void (*registerScheme)(void* context, const char* scheme, void (*callback)(void*, void*), void* data,
                           void (*destroy)(void*)) = nullptr;
    const char* (*requestUri)(void* request) = nullptr;
    void (*finish)(void* request, GInputStream* stream, gint64 length, const char* mimeType) = nullptr;
    void (*finishError)(void* request, GError* error) = nullptr;
};

// The entries Back and Forward go to, which wx does not name as such: a
// command of the program is tied to its entry.
struct HistoryApi
{
    void* (*list)(void* view) = nullptr;
    void* (*backItem)(void* list) = nullptr;
    void* (*forwardItem)(void* list) = nullptr;
    void* (*currentItem)(void* list) = nullptr;
    const char* (*itemUri)(void* item) = nullptr;
    // The entries before and after the current one (a list to free).
    GList* (*backList)(void* list) = nullptr;
    GList* (*forwardList)(void* list) = nullptr;
};

// An address as the engine reads it, through a request made for it.
struct AddressApi
{
    void* (*newRequest)(const char* uri) = nullptr;
    const char* (*requestUri)(void* request) = nullptr;
};

// A script of the program's own in every document of the view, in a script
// world the pages cannot reach, and the handler it reports to there.
struct UserContentApi
{
    void* (*manager)(void* view) = nullptr;
    void* (*newScript)(const char* source, int frames, int time, const char* world, const char* const* allow,
                       const char* const* block) = nullptr;
    void (*addScript)(void* manager, void* script) = nullptr;
    void (*unrefScript)(void* script) = nullptr;
    gboolean (*registerHandler)(void* manager, const char* name, const char* world) = nullptr;
    void (*unregisterHandler)(void* manager, const char* name, const char* world) = nullptr;
    void* (*resultValue)(void* result) = nullptr;
    char* (*valueToString)(void* value) = nullptr;
};

// The page's own request: the engine names the address of a load that starts
// only with it.
struct LoadApi
{
    void* (*mainResource)(void* view) = nullptr;
    const char* (*resourceUri)(void* resource) = nullptr;
};

// The shown page's own bytes, read without a loop of its own: a page's box
// (an alert) holds the engine's answer back, and the pane may be closed
// meanwhile.
struct SourceApi
{
    void* (*mainResource)(void* view) = nullptr;
    void (*getData)(void* resource, GCancellable* cancellable, GAsyncReadyCallback callback,
                    gpointer data) = nullptr;
    guchar* (*getDataFinish)(void* resource, GAsyncResult* result, gsize* length, GError** error) = nullptr;
};

// Whether the page would take an editing command (cut, copy, paste), asked
// without a loop of its own: a page's box holds the engine's answer back.
struct EditingApi
{
    void (*canExecute)(void* view, const char* command, GCancellable* cancellable,
                       GAsyncReadyCallback callback, gpointer data) = nullptr;
    gboolean (*canExecuteFinish)(void* view, GAsyncResult* result, GError** error) = nullptr;
};

// Null members when any function of the group is missing.
const PolicyApi& Policy();
const SourceApi& Source();
const EditingApi& Editing();
const UserContentApi& UserContent();
const LoadApi& Load();
const HistoryApi& History();
const AddressApi& Address();
const DownloadApi& Downloads();
const SchemeApi& Scheme();
} // namespace webkitcalls
#endif
