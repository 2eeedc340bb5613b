#include "foundation/uSharedObject.h"

#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>

bool uSharedObject::load(const uFile& file)
{
    if (m_module)
    {
        m_message = "Shared object already loaded";
        return true;
    }
    std::string path = file.getPath().c_str();
    if (path.find('/') == std::string::npos)
        path = "./" + path;
    // The loader reads "$LIB", "$ORIGIN" and "$PLATFORM" in a path as names
    // of its own; a folder may be called so. Its open file has no such name.
    int opened = -1;
    if (path.find('$') != std::string::npos)
    {
        opened = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (opened >= 0)
            path = "/proc/self/fd/" + std::to_string(opened);
    }
    ::dlerror();
    m_module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (opened >= 0)
        ::close(opened);
    if (!m_module)
    {
        setSystemError();
        return false;
    }
    return true;
}

bool uSharedObject::getSymbol(const char* name, void** address)
{
    if (!name || !address)
    {
        m_message = "Symbol name can not be null.";
        return false;
    }
    *address = nullptr;
    if (!m_module)
    {
        m_message = "Shared object is not loaded.";
        return false;
    }
    ::dlerror();
    void* symbol = ::dlsym(m_module, name);
    // A symbol may have the value null: only dlerror tells a failure.
    if (const char* reason = ::dlerror())
    {
        m_message = reason;
        return false;
    }
    *address = symbol;
    return true;
}

bool uSharedObject::unload()
{
    if (!m_module)
        return true;
    ::dlerror();
    if (::dlclose(m_module) != 0)
    {
        setSystemError();
        return false;
    }
    m_module = nullptr;
    return true;
}

void uSharedObject::setSystemError()
{
    const char* reason = ::dlerror();
    m_message = reason ? reason : "Unknown error";
}
