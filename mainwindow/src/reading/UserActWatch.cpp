#include "UserActWatch.h"

#include "WebKitCalls.h"
#include "mainwindow/UserActs.h"

#include <algorithm>
#include <string>

#ifdef __WXGTK__
#include <glib-object.h>

namespace
{
constexpr const char* kWorld = "kestrova-acts";
constexpr const char* kHandler = "kestrovaPress";

// Runs in every document before its own scripts, in the program's world:
// the page's scripts see neither this listener nor the handler, and cannot
// change what the world's own DOM functions do. It listens first, in the
// capture phase, and reports only clicks the engine marks as trusted.
constexpr const char* kPressScript = R"js((function () {
  'use strict';
  var handlers = window.webkit && window.webkit.messageHandlers;
  var handler = handlers && handlers.kestrovaPress;
  if (!handler) return;
  var attribute = Element.prototype.getAttribute;
  var has = Element.prototype.hasAttribute;
  function resolved(text, node) {
    try { return new URL(text === null || text === '' ? node.ownerDocument.URL : text, node.baseURI).href; }
    catch (e) { return ''; }
  }
  // Its text is the page's own: a srcdoc frame, in one of the page's own.
  function inPageItself() {
    try {
      for (var w = window; w !== w.top; w = w.parent) {
        var here = w.location.href;
        if (here !== 'about:srcdoc' && !/^about:srcdoc[?#]/.test(here)) return false;
      }
      return true;
    } catch (e) { return false; }
  }
  function target(path) {
    for (var i = 0; i < path.length; ++i) {
      var node = path[i];
      if (!(node instanceof Element)) continue;
      var name = node.localName;
      if ((name === 'a' || name === 'area') && (has.call(node, 'href') || has.call(node, 'xlink:href')))
        return ['link', resolved(attribute.call(node, 'href') || attribute.call(node, 'xlink:href'), node)];
      if (name === 'button' || name === 'input') {
        var type = (attribute.call(node, 'type') || (name === 'button' ? 'submit' : 'text')).toLowerCase();
        var form = node.form;
        if ((type === 'submit' || (name === 'input' && type === 'image')) && form) {
          var action = has.call(node, 'formaction') ? attribute.call(node, 'formaction')
                                                     : attribute.call(form, 'action');
          return ['form', resolved(action, node)];
        }
        return ['none', ''];
      }
    }
    return ['none', ''];
  }
  window.addEventListener('click', function (event) {
    if (!event.isTrusted) return;
    var found = target(event.composedPath());
    handler.postMessage([inPageItself() ? '1' : '0', String(event.detail), found[0], found[1]].join('\n'));
  }, true);
})();)js";

CUserActs& ActsOf(gpointer watch)
{
    return static_cast<CUserActWatch*>(watch)->Acts();
}

gboolean OnButtonPressed(GObject*, gpointer, gpointer watch)
{
    ActsOf(watch).OnViewPressed();
    return FALSE;
}

// The engine's hit test names the link under the pointer wherever it sits,
// also inside a closed shadow tree that the program's script cannot see
// into.
void OnPointerMoved(GObject*, GObject* hitTest, guint, gpointer watch)
{
    gchar* link = nullptr;
    g_object_get(hitTest, "link-uri", &link, nullptr);
    ActsOf(watch).OnPointerOverLink(link != nullptr ? link : "");
    g_free(link);
}

gboolean OnKeyPressed(GObject*, gpointer, gpointer watch)
{
    ActsOf(watch).OnViewKeyPressed();
    return FALSE;
}

void OnReport(GObject*, void* result, gpointer watch)
{
    const webkitcalls::UserContentApi& api = webkitcalls::UserContent();
    char* text = api.valueToString(api.resultValue(result));
    CUserActs::PressReport report;
    if (text != nullptr && CUserActs::ReadReport(text, report))
        ActsOf(watch).OnPressReported(report);
    g_free(text);
}

// The page's own load, told apart from its frames' by the view. It starts
// before the engine names its address, which comes with its first request.
void OnLoadChanged(GObject*, int event, gpointer watch)
{
    enum
    {
        kStarted,
        kRedirected,
        kCommitted,
        kFinished,
    };
    auto* self = static_cast<CUserActWatch*>(watch);
    const std::string address = self->ViewAddress();
    if (event == kStarted)
    {
        self->OnPageLoadStarted();
        self->Acts().OnPageLoadStarted();
    }
    else if (event == kRedirected)
        self->Acts().OnPageRedirected(address);
    else if (event == kCommitted)
        self->Acts().OnPageCommitted(address);
    else if (event == kFinished)
        self->Acts().OnPageLoadFinished();
}

// Each request of the view, the page's own and its frames', images' and
// scripts', ends with "finished", after a failure too.
void OnResourceEnded(GObject* resource, gpointer watch)
{
    static_cast<CUserActWatch*>(watch)->OnRequestEnded(resource);
}

void OnResourceStarted(GObject* view, GObject* resource, GObject*, gpointer watch)
{
    g_signal_connect(resource, "finished", G_CALLBACK(OnResourceEnded), watch);
    static_cast<CUserActWatch*>(watch)->OnRequestStarted(resource,
                                                         webkitcalls::Load().mainResource(view) == resource);
}

// A load whose answer became a download ends so too; its download may
// start after.
gboolean OnLoadFailed(GObject*, int, gchar*, GError* error, gpointer watch)
{
    constexpr int kBecameDownload = 102;
    ActsOf(watch).OnPageLoadFailed(error != nullptr && error->code == kBecameDownload &&
                                   g_strcmp0(g_quark_to_string(error->domain), "WebKitPolicyError") == 0);
    return FALSE;
}
} // namespace

CUserActWatch::CUserActWatch(void* view, std::shared_ptr<CUserActs> acts)
    : m_view(view), m_acts(std::move(acts))
{
    if (m_view == nullptr)
        return;
    auto* native = static_cast<GObject*>(m_view);
    m_pressSignal = g_signal_connect(native, "button-press-event", G_CALLBACK(OnButtonPressed), this);
    m_keySignal = g_signal_connect(native, "key-press-event", G_CALLBACK(OnKeyPressed), this);
    m_pointerSignal = g_signal_connect(native, "mouse-target-changed", G_CALLBACK(OnPointerMoved), this);
    m_loadSignal = g_signal_connect(native, "load-changed", G_CALLBACK(OnLoadChanged), this);
    m_failSignal = g_signal_connect(native, "load-failed", G_CALLBACK(OnLoadFailed), this);
    if (webkitcalls::Load().mainResource != nullptr)
        m_requestSignal =
            g_signal_connect(native, "resource-load-started", G_CALLBACK(OnResourceStarted), this);
    const webkitcalls::UserContentApi& api = webkitcalls::UserContent();
    m_manager = api.manager != nullptr ? api.manager(m_view) : nullptr;
    // Without its script no click is reported, and none is the user's.
    if (m_manager == nullptr || !api.registerHandler(m_manager, kHandler, kWorld))
        return;
    const std::string signal = std::string("script-message-received::") + kHandler;
    m_reportSignal = g_signal_connect(m_manager, signal.c_str(), G_CALLBACK(OnReport), this);
    constexpr int kAllFrames = 0;
    constexpr int kAtDocumentStart = 0;
    void* script = api.newScript(kPressScript, kAllFrames, kAtDocumentStart, kWorld, nullptr, nullptr);
    api.addScript(m_manager, script);
    api.unrefScript(script);
}

CUserActWatch::~CUserActWatch()
{
    for (unsigned long signal : {m_pressSignal, m_keySignal, m_pointerSignal, m_loadSignal, m_failSignal, m_requestSignal})
        if (signal != 0)
            g_signal_handler_disconnect(m_view, signal);
    for (void* resource : m_requests)
    {
        g_signal_handlers_disconnect_by_data(resource, this);
        g_object_unref(resource);
    }
    if (m_reportSignal != 0)
    {
        g_signal_handler_disconnect(m_manager, m_reportSignal);
        webkitcalls::UserContent().unregisterHandler(m_manager, kHandler, kWorld);
    }
}

std::string CUserActWatch::ViewAddress() const
{
    gchar* uri = nullptr;
    g_object_get(m_view, "uri", &uri, nullptr);
    std::string address = uri != nullptr ? uri : "";
    g_free(uri);
    return address;
}

void CUserActWatch::OnPageLoadStarted()
{
    // The old page's request, if it has not ended yet, is not the new one's.
    m_pageRequest = nullptr;
}

void CUserActWatch::OnRequestStarted(void* resource, bool pageItself)
{
    m_requests.push_back(g_object_ref(resource));
    if (!pageItself)
        return;
    m_pageRequest = resource;
    const char* uri = webkitcalls::Load().resourceUri(resource);
    m_acts->OnPageRequested(uri != nullptr ? uri : "");
}

void CUserActWatch::OnRequestEnded(void* resource)
{
    auto found = std::find(m_requests.begin(), m_requests.end(), resource);
    if (found == m_requests.end())
        return;
    m_requests.erase(found);
    g_signal_handlers_disconnect_by_data(resource, this);
    if (resource == m_pageRequest)
    {
        m_pageRequest = nullptr;
        m_acts->OnPageRequestEnded();
    }
    g_object_unref(resource);
}

void CUserActWatch::RequestsInFlight(std::string& pageRequest, std::vector<std::string>& others) const
{
    pageRequest.clear();
    others.clear();
    if (m_requests.empty())
        return;
    void* page = webkitcalls::Load().mainResource(m_view);
    for (void* resource : m_requests)
    {
        const char* uri = webkitcalls::Load().resourceUri(resource);
        if (resource == page)
            pageRequest = uri != nullptr ? uri : "";
        else if (uri != nullptr)
            others.emplace_back(uri);
    }
}
#else
CUserActWatch::CUserActWatch(void*, std::shared_ptr<CUserActs> acts) : m_acts(std::move(acts)) {}
CUserActWatch::~CUserActWatch() = default;
std::string CUserActWatch::ViewAddress() const
{
    return std::string();
}
void CUserActWatch::OnPageLoadStarted() {}
void CUserActWatch::OnRequestStarted(void*, bool) {}
void CUserActWatch::OnRequestEnded(void*) {}
void CUserActWatch::RequestsInFlight(std::string& pageRequest, std::vector<std::string>& others) const
{
    pageRequest.clear();
    others.clear();
}
#endif
