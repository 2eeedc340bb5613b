#include "support/RefusingFileSystem.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <dlfcn.h>
#include <unistd.h>

namespace
{
std::atomic<bool> g_on{false}; // made before any call: read by one while other statics are made
std::string g_folder;
bool g_refuseRenames = false;

bool Refused(const char* path, bool rename = false)
{
    return g_on && path != nullptr && std::string(path).rfind(g_folder, 0) == 0 &&
           (!rename || g_refuseRenames);
}

template <typename F> F Real(const char* name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}
} // namespace

extern "C" int renameat2(int fromFolder, const char* from, int toFolder, const char* to,
                         unsigned int flags) noexcept
{
    static const auto real = Real<int (*)(int, const char*, int, const char*, unsigned int)>("renameat2");
    if (Refused(from, flags == 0))
    {
        errno = flags != 0 ? EINVAL : EPERM;
        return -1;
    }
    return real(fromFolder, from, toFolder, to, flags);
}

extern "C" int rename(const char* from, const char* to) noexcept
{
    static const auto real = Real<int (*)(const char*, const char*)>("rename");
    return Refused(from, true) ? (errno = EPERM, -1) : real(from, to);
}

extern "C" int link(const char* from, const char* to) noexcept
{
    static const auto real = Real<int (*)(const char*, const char*)>("link");
    return Refused(from) ? (errno = EPERM, -1) : real(from, to);
}

namespace testsupport
{

// Set and cleared on the test's own thread, while no call of the file
// system's runs.
RefusingFileSystem::RefusingFileSystem(const std::string& folder, bool refuseRenames)
{
    g_folder = folder + "/";
    g_refuseRenames = refuseRenames;
    g_on = true;
}

RefusingFileSystem::~RefusingFileSystem()
{
    g_on = false;
}

} // namespace testsupport
