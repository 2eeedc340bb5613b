#include "support/LocalFtpServer.h"

#include <stdexcept>
#include <unistd.h>

namespace testsupport
{

namespace
{

const char* const kPython = "/usr/bin/python3";

} // namespace

LocalFtpServer::LocalFtpServer(const std::string& user, const std::string& password, bool writable)
    : m_user(user), m_password(password)
{
    // The port is picked free and then handed over, so another process may take it in between:
    // a server that dies at start is retried on a new port.
    for (int attempt = 0; attempt < 5; ++attempt)
    {
        m_port = PickFreePort();
        std::vector<std::string> argv = {
            kPython, "-m", "pyftpdlib", "-i", "127.0.0.1", "-p", std::to_string(m_port), "-d", m_root.path()};
        if (writable)
            argv.push_back("-w");
        if (!user.empty())
        {
            argv.insert(argv.end(), {"-u", user, "-P", password});
        }
        m_process = std::make_unique<ChildProcess>(argv, m_work.file("ftp.log"));
        if (WaitForPort(m_port, 15000, m_process.get()) && ReadGreeting(m_port).rfind("220", 0) == 0)
            return;
        m_process.reset();
    }
    throw std::runtime_error("LocalFtpServer: pyftpdlib did not start: " +
                             ReadFileBytes(m_work.file("ftp.log")));
}

LocalFtpServer::~LocalFtpServer() = default;

bool LocalFtpServer::available()
{
    static const bool found = []
    {
        if (::access(kPython, X_OK) != 0)
            return false;
        TempDir work;
        return RunProgram({kPython, "-c", "import pyftpdlib"}, work.file("probe.log")) == 0;
    }();
    return found;
}

std::string LocalFtpServer::url(const std::string& path) const
{
    return "ftp://127.0.0.1:" + std::to_string(m_port) + path;
}

std::string LocalFtpServer::urlWithLogin(const std::string& path) const
{
    return "ftp://" + m_user + ":" + m_password + "@127.0.0.1:" + std::to_string(m_port) + path;
}

std::string LocalFtpServer::log() const
{
    return m_process ? m_process->log() : std::string();
}

} // namespace testsupport
