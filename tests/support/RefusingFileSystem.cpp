#include "support/RefusingFileSystem.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <dlfcn.h>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace
{
std::atomic<bool> g_on{false}; // made before any call: read by one while other statics are made
std::mutex g_lock;
std::string g_folder;
bool g_refuseRenames = false;

bool Refused(const char* path, bool rename = false)
{
    if (!g_on)
        return false;
    std::lock_guard<std::mutex> hold(g_lock);
    return path != nullptr && std::string(path).rfind(g_folder, 0) == 0 && (!rename || g_refuseRenames);
}

template <typename F> F Real(const char* name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}
} // namespace

extern "C" int renameat2(int fromFolder, const char* from, int toFolder, const char* to,
                         unsigned int flags) noexcept
{
    if (flags != 0 && Refused(from))
    {
        errno = EINVAL;
        return -1;
    }
    static const auto real = Real<int (*)(int, const char*, int, const char*, unsigned int)>("renameat2");
    return Refused(from, true) ? (errno = EPERM, -1) : real(fromFolder, from, toFolder, to, flags);
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

extern "C" int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) noexcept
{
    static const auto real = Real<int (*)(int, const char*, int, const char*, int)>("linkat");
    return Refused(from) ? (errno = EPERM, -1) : real(fromFolder, from, toFolder, to, flags);
}

namespace testsupport
{

RefusingFileSystem::RefusingFileSystem(const std::string& folder, bool refuseRenames)
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_folder = folder + "/";
    g_refuseRenames = refuseRenames;
    g_on = true;
}

RefusingFileSystem::~RefusingFileSystem()
{
    g_on = false;
}

} // namespace testsupport
