#include "support/TempDir.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace testsupport
{

TempDir::TempDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/kestrova-test-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed for " + pattern);
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string TempDir::file(const std::string& name) const
{
    return m_path + "/" + name;
}

std::string TempDir::write(const std::string& name, const std::string& bytes) const
{
    std::string full = file(name);
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + full);
    return full;
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool FileExists(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : m_name(name)
{
    if (const char* old = std::getenv(name))
    {
        m_hadOld = true;
        m_old = old;
    }
    setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv()
{
    if (m_hadOld)
        setenv(m_name.c_str(), m_old.c_str(), 1);
    else
        unsetenv(m_name.c_str());
}

TempHome::TempHome()
    : m_home("HOME", m_dir.path()), m_config("XDG_CONFIG_HOME", m_dir.path() + "/.config"),
      m_data("XDG_DATA_HOME", m_dir.path() + "/.local/share"),
      m_documents("XDG_DOCUMENTS_DIR", m_dir.path() + "/Documents")
{
}

bool MakeAnewUnderItsInode(const std::string& path, const std::string& bytes)
{
    struct stat old = {};
    if (::lstat(path.c_str(), &old) != 0 || ::unlink(path.c_str()) != 0)
        return false;
    // Unnamed files hold the lower free numbers until a new file gets the
    // old one, then takes the name.
    constexpr int kMostTries = 200;
    std::vector<int> lower;
    bool made = false;
    for (int i = 0; i < kMostTries && !made; ++i)
    {
        const int fd = ::open(path.substr(0, path.rfind('/')).c_str(), O_TMPFILE | O_RDWR, 0644);
        if (fd < 0)
            break;
        struct stat now = {};
        ::fstat(fd, &now);
        if (now.st_ino != old.st_ino)
        {
            lower.push_back(fd);
            continue;
        }
        made = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
               ::linkat(AT_FDCWD, ("/proc/self/fd/" + std::to_string(fd)).c_str(), AT_FDCWD, path.c_str(),
                        AT_SYMLINK_FOLLOW) == 0;
        ::close(fd);
    }
    for (int fd : lower)
        ::close(fd);
    if (!made)
        std::ofstream(path, std::ios::binary) << bytes;
    return made;
}

} // namespace testsupport
