// libsoup 2.74's soup_message_headers_get_content_disposition cuts a
// "filename" parameter that holds a "/" down to its last part by putting a
// pointer into the middle of the table's own value back into the table: the
// table frees the old value at once and, when it goes, frees that pointer
// ("free(): invalid pointer"). A bare "filename" with no value makes it read
// a null pointer. The browser engine calls it on every name a server, a page's
// download link or an address gives, in our process and in its network
// process. This file replaces that one routine, twice: the executable exports
// it (see ui/CMakeLists.txt), so the dynamic linker binds every caller in the
// program to it; and it is built alone as a library that the engine's
// processes preload (see foundation/uChildEnvironment.h), which inherit it
// from the program's environment. The parsing itself stays libsoup's.
//
// Everything it calls is looked up in the process at the first call: a
// preloaded library must pull no other library (glib, libsoup, the C++
// runtime) into a process that does not already have it, and is never called
// in one that does not load libsoup.
#include <cstring>
#include <dlfcn.h>
#include <glib.h>
#include <pthread.h>

namespace
{
struct Calls
{
    // libsoup's
    const char* (*headerValue)(void* headers, const char* name);
    GHashTable* (*parseParameters)(const char* text);
    guint (*caseHash)(gconstpointer key);
    gboolean (*caseEqual)(gconstpointer a, gconstpointer b);
    // glib's
    GHashTable* (*newTable)(GHashFunc hash, GEqualFunc equal, GDestroyNotify freeKey,
                            GDestroyNotify freeValue);
    void (*startWalk)(GHashTableIter* walk, GHashTable* table);
    gboolean (*walk)(GHashTableIter* walk, gpointer* key, gpointer* value);
    gboolean (*replace)(GHashTable* table, gpointer key, gpointer value);
    void (*destroy)(GHashTable* table);
    gchar* (*copy)(const gchar* text);
    gchar* (*copyPart)(const gchar* text, gsize length);
    void (*release)(gpointer memory);
    bool complete;
    // A libsoup without the calls above (not the one whose routine this
    // replaces) keeps its own routine.
    gboolean (*libraryRoutine)(void* headers, char** disposition, GHashTable** params);
};

// Zero until found: constant-initialised, so it needs no guard of the C++
// runtime's.
Calls calls;
pthread_once_t callsFound = PTHREAD_ONCE_INIT;

template <typename Call> bool Find(Call& call, const char* name)
{
    call = reinterpret_cast<Call>(::dlsym(RTLD_DEFAULT, name));
    return call != nullptr;
}

void FindCalls()
{
    calls.complete =
        Find(calls.headerValue, "soup_message_headers_get_one") &&
        Find(calls.parseParameters, "soup_header_parse_semi_param_list") &&
        Find(calls.caseHash, "soup_str_case_hash") && Find(calls.caseEqual, "soup_str_case_equal") &&
        Find(calls.newTable, "g_hash_table_new_full") && Find(calls.startWalk, "g_hash_table_iter_init") &&
        Find(calls.walk, "g_hash_table_iter_next") && Find(calls.replace, "g_hash_table_replace") &&
        Find(calls.destroy, "g_hash_table_destroy") && Find(calls.copy, "g_strdup") &&
        Find(calls.copyPart, "g_strndup") && Find(calls.release, "g_free");
    if (!calls.complete)
        calls.libraryRoutine = reinterpret_cast<decltype(calls.libraryRoutine)>(
            ::dlsym(RTLD_NEXT, "soup_message_headers_get_content_disposition"));
}

bool IsFileName(const char* key)
{
    for (const char* name = "filename"; *name != '\0'; ++name, ++key)
    {
        const char letter = *key >= 'A' && *key <= 'Z' ? static_cast<char>(*key - 'A' + 'a') : *key;
        if (letter != *name)
            return false;
    }
    return *key == '\0';
}

// The blanks of glib's g_ascii_isspace, which libsoup's own routine uses.
bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// A table whose keys and values are all its own, as libsoup's callers free
// it; "filename" keeps only what follows its last "/".
GHashTable* OwnedParameters(GHashTable* parsed)
{
    GHashTable* owned = calls.newTable(calls.caseHash, calls.caseEqual, calls.release, calls.release);
    GHashTableIter entries;
    gpointer key = nullptr;
    gpointer value = nullptr;
    calls.startWalk(&entries, parsed);
    while (calls.walk(&entries, &key, &value))
    {
        const char* text = static_cast<const char*>(value);
        if (text != nullptr && IsFileName(static_cast<const char*>(key)))
        {
            if (const char* slash = std::strrchr(text, '/'))
                text = slash + 1;
        }
        calls.replace(owned, calls.copy(static_cast<const char*>(key)), calls.copy(text));
    }
    calls.destroy(parsed);
    return owned;
}
} // namespace

// Same signature and contract as libsoup's: FALSE, touching nothing, without
// the header; else the type (null when the header is only parameters, as
// some servers send it) and the parameters, for the caller to free.
extern "C" __attribute__((visibility("default"))) gboolean
soup_message_headers_get_content_disposition(void* headers, char** disposition, GHashTable** params)
{
    ::pthread_once(&callsFound, FindCalls);
    if (!calls.complete)
        return calls.libraryRoutine != nullptr ? calls.libraryRoutine(headers, disposition, params) : FALSE;
    const char* header = calls.headerValue(headers, "Content-Disposition");
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
                while (kept > 1 && IsBlank(header[kept - 1]))
                    --kept;
            }
            *disposition = calls.copyPart(header, kept);
        }
        if (parameters != nullptr)
            ++parameters;
    }
    if (params != nullptr)
        *params = OwnedParameters(calls.parseParameters(parameters != nullptr ? parameters : ""));
    return TRUE;
}
