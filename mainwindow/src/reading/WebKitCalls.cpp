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
        Find(found.mouseButton, "webkit_navigation_action_get_mouse_button");
        Find(found.request, "webkit_navigation_action_get_request");
        Find(found.requestUri, "webkit_uri_request_get_uri");
        Find(found.ignore, "webkit_policy_decision_ignore");
        const bool all = found.action && found.navigationType && found.userGesture && found.redirect &&
                         found.mouseButton && found.request && found.requestUri && found.ignore;
        return all ? found : PolicyApi();
    }();
    return api;
}

const UserContentApi& UserContent()
{
    static const UserContentApi api = []
    {
        UserContentApi found;
        Find(found.manager, "webkit_web_view_get_user_content_manager");
        Find(found.newScript, "webkit_user_script_new_for_world");
        Find(found.addScript, "webkit_user_content_manager_add_script");
        Find(found.unrefScript, "webkit_user_script_unref");
        Find(found.registerHandler, "webkit_user_content_manager_register_script_message_handler_in_world");
        Find(found.unregisterHandler,
             "webkit_user_content_manager_unregister_script_message_handler_in_world");
        Find(found.resultValue, "webkit_javascript_result_get_js_value");
        Find(found.valueToString, "jsc_value_to_string");
        const bool all = found.manager && found.newScript && found.addScript && found.unrefScript &&
                         found.registerHandler && found.unregisterHandler && found.resultValue &&
                         found.valueToString;
        return all ? found : UserContentApi();
    }();
    return api;
}

const LoadApi& Load()
{
    static const LoadApi api = []
    {
        LoadApi found;
        Find(found.mainResource, "webkit_web_view_get_main_resource");
        Find(found.resourceUri, "webkit_web_resource_get_uri");
        return found.mainResource && found.resourceUri ? found : LoadApi();
    }();
    return api;
}

const SourceApi& Source()
{
    static const SourceApi api = []
    {
        SourceApi found;
        Find(found.mainResource, "webkit_web_view_get_main_resource");
        Find(found.getData, "webkit_web_resource_get_data");
        Find(found.getDataFinish, "webkit_web_resource_get_data_finish");
        return found.mainResource && found.getData && found.getDataFinish ? found : SourceApi();
    }();
    return api;
}

const EditingApi& Editing()
{
    static const EditingApi api = []
    {
        EditingApi found;
        Find(found.canExecute, "webkit_web_view_can_execute_editing_command");
        Find(found.canExecuteFinish, "webkit_web_view_can_execute_editing_command_finish");
        return found.canExecute && found.canExecuteFinish ? found : EditingApi();
    }();
    return api;
}

const HistoryApi& History()
{
    static const HistoryApi api = []
    {
        HistoryApi found;
        Find(found.list, "webkit_web_view_get_back_forward_list");
        Find(found.backItem, "webkit_back_forward_list_get_back_item");
        Find(found.forwardItem, "webkit_back_forward_list_get_forward_item");
        Find(found.currentItem, "webkit_back_forward_list_get_current_item");
        Find(found.itemUri, "webkit_back_forward_list_item_get_uri");
        Find(found.backList, "webkit_back_forward_list_get_back_list");
        Find(found.forwardList, "webkit_back_forward_list_get_forward_list");
        const bool all = found.list && found.backItem && found.forwardItem && found.currentItem &&
                         found.itemUri && found.backList && found.forwardList;
        return all ? found : HistoryApi();
    }();
    return api;
}

const AddressApi& Address()
{
    static const AddressApi api = []
    {
        AddressApi found;
        Find(found.newRequest, "webkit_uri_request_new");
        Find(found.requestUri, "webkit_uri_request_get_uri");
        return found.newRequest && found.requestUri ? found : AddressApi();
    }();
    return api;
}

const DownloadApi& Downloads()
{
    static const DownloadApi api = []
    {
        DownloadApi found;
        Find(found.viewContext, "webkit_web_view_get_context");
        Find(found.downloadView, "webkit_download_get_web_view");
        Find(found.downloadRequest, "webkit_download_get_request");
        Find(found.requestUri, "webkit_uri_request_get_uri");
        Find(found.setDestination, "webkit_download_set_destination");
        Find(found.cancel, "webkit_download_cancel");
        Find(found.download, "webkit_policy_decision_download");
        Find(found.ignore, "webkit_policy_decision_ignore");
        Find(found.canShow, "webkit_response_policy_decision_is_mime_type_supported");
        Find(found.responseHeaders, "webkit_uri_response_get_http_headers");
        Find(found.header, "soup_message_headers_get_one");
        Find(found.isMainResource, "webkit_response_policy_decision_is_main_frame_main_resource");
        Find(found.loginHost, "webkit_authentication_request_get_host");
        Find(found.loginPort, "webkit_authentication_request_get_port");
        Find(found.isForProxy, "webkit_authentication_request_is_for_proxy");
        Find(found.cancelLogin, "webkit_authentication_request_cancel");
        Find(found.mainResource, "webkit_web_view_get_main_resource");
        Find(found.resourceUri, "webkit_web_resource_get_uri");
        if (!found.loginPort || !found.isForProxy || !found.cancelLogin || !found.mainResource ||
            !found.resourceUri)
            found.loginHost = nullptr;
        const bool all = found.viewContext && found.downloadView && found.downloadRequest &&
                         found.requestUri && found.setDestination && found.cancel && found.download &&
                         found.ignore && found.canShow && found.responseHeaders && found.header;
        return all ? found : DownloadApi();
    }();
    return api;
}

const SchemeApi& Scheme()
{
    static const SchemeApi api = []
    {
        SchemeApi found;
        Find(found.viewContext, "webkit_web_view_get_context");
        Find(found.registerScheme, "webkit_web_context_register_uri_scheme");
        Find(found.requestUri, "webkit_uri_scheme_request_get_uri");
        Find(found.finish, "webkit_uri_scheme_request_finish");
        Find(found.finishError, "webkit_uri_scheme_request_finish_error");
        const bool all = found.viewContext && found.registerScheme && found.requestUri && found.finish &&
                         found.finishError;
        return all ? found : SchemeApi();
    }();
    return api;
}
} // namespace webkitcalls
#endif
