#pragma once

#include "foundation/uFile.h"
#include "foundation/uString.h"

// One shared object loaded at run time. The destructor does not unload it:
// it stays loaded until unload() or the end of the process.
class uSharedObject
{
public:
    uSharedObject() = default;
    ~uSharedObject() = default;
    uSharedObject(const uSharedObject&) = delete;
    uSharedObject& operator=(const uSharedObject&) = delete;

    // Loads the file at the path (a path without "/" names a file in the
    // current directory; the library search path is never consulted). A
    // second load keeps the first object and returns true.
    bool load(const uFile& file);
    // The address of an exported symbol; false, with *address null, when it
    // is not exported.
    bool getSymbol(const char* name, void** address);
    bool unload();
    bool isLoaded() const { return m_module != nullptr; }

    // The text of the last failure; a later success does not clear it.
    const uString& getMessage() const { return m_message; }

private:
    void setSystemError();

    uString m_message;
    void* m_module = nullptr;
};
