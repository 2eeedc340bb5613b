#include "foundation/uProgramFolder.h"

#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

uString GetModuleDirectory()
{
    if (const char* overridden = std::getenv("KESTROVA_PROGRAM_DIR"); overridden && *overridden)
        return uString(overridden);
    std::vector<char> buffer(256);
    for (;;)
    {
        ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return uString();
        if (static_cast<size_t>(length) < buffer.size())
        {
            std::string path(buffer.data(), static_cast<size_t>(length));
            std::string::size_type slash = path.rfind('/');
            if (slash == std::string::npos)
                return uString();
            return uString(slash == 0 ? "/" : path.substr(0, slash).c_str());
        }
        buffer.resize(buffer.size() * 2);
    }
}
