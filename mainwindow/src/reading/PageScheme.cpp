#include "PageScheme.h"

#include "WebKitCalls.h"
#include "mainwindow/HtmlCtrlPolicy.h"
#include "mainwindow/ItemPage.h"

#ifdef __WXGTK__
#include <gio/gio.h>
#include <sys/stat.h>
#endif
#include <cstring>
#include <map>
#include <mutex>
#include <wx/webview.h>

namespace pagescheme
{
namespace
{
struct Served
{
    std::mutex mutex;
    uString templateDir;
    std::set<std::string> files;
    std::map<std::string, WrittenPage> pages;
};

Served& TheServed()
{
    static Served served;
    return served;
}

const char* MimeTypeOf(const std::string& path)
{
    static const std::pair<const char*, const char*> kTypes[] = {
        {".html", "text/html"}, {".htm", "text/html"},   {".css", "text/css"},    {".png", "image/png"},
        {".gif", "image/gif"},  {".jpg", "image/jpeg"},  {".jpeg", "image/jpeg"}, {".svg", "image/svg+xml"},
        {".mp3", "audio/mpeg"}, {".m4a", "audio/mp4"},   {".ogg", "audio/ogg"},   {".mp4", "video/mp4"},
        {".m4v", "video/mp4"},  {".webm", "video/webm"}, {".txt", "text/plain"},
    };
    const std::size_t dot = path.rfind('.');
    std::string extension = dot == std::string::npos ? std::string() : path.substr(dot);
    for (char& c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    for (const auto& [suffix, type] : kTypes)
    {
        if (extension == suffix)
            return type;
    }
    return "application/octet-stream";
}

#ifdef __WXGTK__
// A written page's document: the one place its policy is added. The byte
// order mark makes the engine read it as UTF-8, as the program wrote it,
// whatever the page declares.
bool ServeWrittenPage(void* request, const char* uri)
{
    WrittenPage page;
    if (!Find(uString(uri), page))
        return false;
    const uString document = uString("\xEF\xBB\xBF") + itempage::WithPagePolicy(page.html);
    const auto length = static_cast<gsize>(document.getLength());
    void* bytes = g_memdup2(document.c_str(), length);
    GInputStream* stream = g_memory_input_stream_new_from_data(bytes, static_cast<gssize>(length), g_free);
    webkitcalls::Scheme().finish(request, stream, static_cast<gint64>(length), "text/html");
    g_object_unref(stream);
    return true;
}

// WebKit's request for an address of the scheme (window thread).
void OnSchemeRequest(void* request, void*)
{
    const webkitcalls::SchemeApi& api = webkitcalls::Scheme();
    std::string path;
    struct stat info
    {
    };
    const char* uri = api.requestUri(request);
    if (uri != nullptr && htmlctrl::CWrittenPages::IsWritten(uString(uri)) && ServeWrittenPage(request, uri))
        return;
    if (uri != nullptr && Resolve(uString(uri), path) && ::stat(path.c_str(), &info) == 0 &&
        S_ISREG(info.st_mode))
    {
        GFile* file = g_file_new_for_path(path.c_str());
        GFileInputStream* stream = g_file_read(file, nullptr, nullptr);
        g_object_unref(file);
        if (stream != nullptr)
        {
            api.finish(request, G_INPUT_STREAM(stream), static_cast<gint64>(info.st_size), MimeTypeOf(path));
            g_object_unref(stream);
            return;
        }
    }
    GError* error = g_error_new_literal(g_quark_from_static_string("kestrova-page"), 404, "not served");
    api.finishError(request, error);
    g_error_free(error);
}
#endif
} // namespace

void Register(wxWebView* view)
{
#ifdef __WXGTK__
    static bool registered = false;
    const webkitcalls::SchemeApi& api = webkitcalls::Scheme();
    if (registered || api.registerScheme == nullptr || view->GetNativeBackend() == nullptr)
        return;
    api.registerScheme(api.viewContext(view->GetNativeBackend()), htmlctrl::kPageScheme, OnSchemeRequest,
                       nullptr, nullptr);
    registered = true;
#else
    (void)view;
#endif
}

void ServeFiles(const uString& templateDir, const std::set<std::string>& files)
{
    Served& served = TheServed();
    std::lock_guard<std::mutex> lock(served.mutex);
    served.templateDir = templateDir;
    served.files = files;
}

bool Resolve(const uString& address, std::string& path)
{
    Served& served = TheServed();
    std::lock_guard<std::mutex> lock(served.mutex);
    return htmlctrl::ResolvePageAddress(address, served.templateDir, served.files, path);
}

void Keep(const uString& address, const WrittenPage& page)
{
    Served& served = TheServed();
    std::lock_guard<std::mutex> lock(served.mutex);
    served.pages[address.c_str()] = page;
}

void SetAddress(const uString& address, const uString& shown)
{
    Served& served = TheServed();
    std::lock_guard<std::mutex> lock(served.mutex);
    if (auto kept = served.pages.find(address.c_str()); kept != served.pages.end())
        kept->second.address = shown;
}

bool Find(const uString& address, WrittenPage& page)
{
    Served& served = TheServed();
    std::lock_guard<std::mutex> lock(served.mutex);
    auto kept = served.pages.find(address.c_str());
    if (kept == served.pages.end())
        return false;
    page = kept->second;
    return true;
}

void Drop(const uString& address)
{
    Served& served = TheServed();
    std::lock_guard<std::mutex> lock(served.mutex);
    served.pages.erase(address.c_str());
}
} // namespace pagescheme
