#include "foundation/uSetAside.h"

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

uString SetAsideDamagedFile(const uString& path)
{
    char stamp[32] = "";
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) != nullptr)
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const uString base = path + ".bad-" + stamp;
    uString candidate = base;
    struct stat info = {};
    for (int n = 1; ::lstat(candidate.c_str(), &info) == 0 && n < 1000; ++n)
        candidate = base + "-" + n;
    // A hard link then an unlink never replaces a file that appeared meanwhile.
    if (::link(path.c_str(), candidate.c_str()) == 0)
        return ::unlink(path.c_str()) == 0 ? candidate : uString();
    // File systems without hard links.
    return std::rename(path.c_str(), candidate.c_str()) == 0 ? candidate : uString();
}
