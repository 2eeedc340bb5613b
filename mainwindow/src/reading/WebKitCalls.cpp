#include "WebKitCalls.h"

#ifdef __WXGTK__
#include <dlfcn.h>

namespace webkitcalls
{
namespace
{
template <typename F> void Find(F& function, const char* name)
{
    function = reinterpret_cast<F>(::dlsym(RTLD_DEFAULT, name));
}
} // namespace

const PolicyApi& Policy()
{
    static const PolicyApi api = []
    {
        PolicyApi found;
        Find(found.action, "webkit_navigation_policy_decision_get_navigation_action");
        Find(found.navigationType, "webkit_navigation_action_get_navigation_type");
        Find(found.userGesture, "webkit_navigation_action_is_user_gesture");
        Find(found.redirect, "webkit_navigation_action_is_redirect");
        Find(found.request, "webkit_navigation_action_get_request");
        Find(found.requestUri, "webkit_uri_request_get_uri");
        Find(found.ignore, "webkit_policy_decision_ignore");
        Find(found.download, "webkit_policy_decision_download");
        Find(found.response, "webkit_response_policy_decision_get_response");
        Find(found.typeSupported, "webkit_response_policy_decision_is_mime_type_supported");
        Find(found.mainResource, "webkit_response_policy_decision_is_main_frame_main_resource");
        Find(found.mimeType, "webkit_uri_response_get_mime_type");
        Find(found.responseUri, "webkit_uri_response_get_uri");
        Find(found.suggestedName, "webkit_uri_response_get_suggested_filename");
        const bool all = found.action && found.navigationType && found.userGesture && found.redirect &&
                         found.request && found.requestUri && found.ignore && found.download &&
                         found.response && found.typeSupported && found.mainResource && found.mimeType &&
                         found.responseUri && found.suggestedName;
        return all ? found : PolicyApi();
    }();
    return api;
}

const DownloadApi& Downloads()
{
    static const DownloadApi api = []
    {
        DownloadApi found;
        Find(found.viewContext, "webkit_web_view_get_context");
        Find(found.webView, "webkit_download_get_web_view");
        Find(found.response, "webkit_download_get_response");
        Find(found.mimeType, "webkit_uri_response_get_mime_type");
        Find(found.responseUri, "webkit_uri_response_get_uri");
        Find(found.setDestination, "webkit_download_set_destination");
        const bool all = found.viewContext && found.webView && found.response && found.mimeType &&
                         found.responseUri && found.setDestination;
        return all ? found : DownloadApi();
    }();
    return api;
}

// A download's name: the one the server suggests, else the address's last
// part; no folder part, no control characters.
std::string DownloadName(const char* suggested, const char* uri)
{
    std::string name = suggested != nullptr ? suggested : "";
    if (name.empty() && uri != nullptr)
    {
        name = uri;
        name = name.substr(0, name.find_first_of("?#"));
    }
    const std::size_t slash = name.find_last_of("/\\");
    name = name.substr(slash == std::string::npos ? 0 : slash + 1);
    for (char& c : name)
    {
        if (static_cast<unsigned char>(c) < 0x20)
            c = '_';
    }
    return name;
}

} // namespace webkitcalls
#endif
