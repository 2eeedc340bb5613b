#include "foundation/uSharedObject.h"

#include <cstring>
#include <dlfcn.h>
#include <string>

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
    ::dlerror();
    m_module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
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
