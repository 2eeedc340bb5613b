// libsoup 2.74's soup_message_headers_get_content_disposition cuts a
// "filename" parameter that holds a "/" down to its last part by putting a
// pointer into the middle of the table's own value back into the table: the
// table frees the old value at once and, when it goes, frees that pointer
// ("free(): invalid pointer"). A bare "filename" with no value makes it read
// a null pointer. The browser engine calls it in our process on every name a
// server, a page's download link or an address gives, from its own dispatch.
// The program carries its own version of that one routine: the executable
// exports it (see ui/CMakeLists.txt), so the dynamic linker binds every
// caller in the process to it. The parsing itself stays libsoup's. The
// engine's network process is a program of its own and keeps libsoup's: it
// may still end on a server's name with a "/", and the engine starts it
// again.
#ifdef __WXGTK__
#include <cstring>
#include <dlfcn.h>
#include <glib.h>

namespace
{
struct SoupCalls
{
    const char* (*headerValue)(void* headers, const char* name) = nullptr;
    GHashTable* (*parseParameters)(const char* text) = nullptr;
    guint (*caseHash)(gconstpointer key) = nullptr;
    gboolean (*caseEqual)(gconstpointer a, gconstpointer b) = nullptr;
};

const SoupCalls& Soup()
{
    static const SoupCalls calls = []
    {
        SoupCalls found;
        found.headerValue = reinterpret_cast<decltype(found.headerValue)>(
            ::dlsym(RTLD_DEFAULT, "soup_message_headers_get_one"));
        found.parseParameters = reinterpret_cast<decltype(found.parseParameters)>(
            ::dlsym(RTLD_DEFAULT, "soup_header_parse_semi_param_list"));
        found.caseHash =
            reinterpret_cast<decltype(found.caseHash)>(::dlsym(RTLD_DEFAULT, "soup_str_case_hash"));
        found.caseEqual =
            reinterpret_cast<decltype(found.caseEqual)>(::dlsym(RTLD_DEFAULT, "soup_str_case_equal"));
        const bool all = found.headerValue && found.parseParameters && found.caseHash && found.caseEqual;
        return all ? found : SoupCalls();
    }();
    return calls;
}

// A table whose keys and values are all its own, as libsoup's callers free
// it; "filename" keeps only what follows its last "/".
GHashTable* OwnedParameters(GHashTable* parsed)
{
    GHashTable* owned = g_hash_table_new_full(Soup().caseHash, Soup().caseEqual, g_free, g_free);
    GHashTableIter entries;
    gpointer key = nullptr;
    gpointer value = nullptr;
    g_hash_table_iter_init(&entries, parsed);
    while (g_hash_table_iter_next(&entries, &key, &value))
    {
        const char* text = static_cast<const char*>(value);
        if (text != nullptr && g_ascii_strcasecmp(static_cast<const char*>(key), "filename") == 0)
        {
            if (const char* slash = std::strrchr(text, '/'))
                text = slash + 1;
        }
        g_hash_table_replace(owned, g_strdup(static_cast<const char*>(key)), g_strdup(text));
    }
    g_hash_table_destroy(parsed);
    return owned;
}
} // namespace

// Same signature and contract as libsoup's: FALSE, touching nothing, without
// the header; else the type (null when the header is only parameters, as
// some servers send it) and the parameters, for the caller to free.
extern "C" __attribute__((visibility("default"))) gboolean
soup_message_headers_get_content_disposition(void* headers, char** disposition, GHashTable** params)
{
    const char* header =
        Soup().headerValue != nullptr ? Soup().headerValue(headers, "Content-Disposition") : nullptr;
    if (header == nullptr)
        return FALSE;
    const char* equals = std::strchr(header, '=');
    const char* parameters = std::strchr(header, ';');
    if (equals != nullptr && (parameters == nullptr || equals < parameters))
    {
        parameters = header;
        if (disposition != nullptr)
            *disposition = nullptr;
    }
    else
    {
        if (disposition != nullptr)
        {
            std::size_t kept = std::strlen(header);
            if (parameters != nullptr)
            {
                kept = static_cast<std::size_t>(parameters - header);
                while (kept > 1 && g_ascii_isspace(header[kept - 1]))
                    --kept;
            }
            *disposition = g_strndup(header, kept);
        }
        if (parameters != nullptr)
            ++parameters;
    }
    if (params != nullptr)
        *params = OwnedParameters(Soup().parseParameters(parameters != nullptr ? parameters : ""));
    return TRUE;
}
#endif
