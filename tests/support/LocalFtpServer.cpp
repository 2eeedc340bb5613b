#include "support/LocalFtpServer.h"

#include <stdexcept>
#include <unistd.h>

namespace testsupport
{

namespace
{

const char* const kPython = "/usr/bin/python3";

// What "python3 -m pyftpdlib" sets up, but serving the socket inherited as descriptor 3 instead of
// binding one. Arguments: root folder, permissions, then optionally user and password.
const char* const kServerScript = R"(import socket, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

root, permissions = sys.argv[1], sys.argv[2]
authorizer = DummyAuthorizer()
if len(sys.argv) > 3:
    authorizer.add_user(sys.argv[3], sys.argv[4], root, perm=permissions)
else:
    authorizer.add_anonymous(root, perm=permissions)
FTPHandler.authorizer = authorizer
server = FTPServer(socket.socket(fileno=3), FTPHandler)
try:
    server.serve_forever()
finally:
    server.close_all()
)";

} // namespace

LocalFtpServer::LocalFtpServer(const std::string& user, const std::string& password, bool writable)
    : m_user(user), m_password(password)
{
    std::vector<std::string> argv = {kPython, "-c", kServerScript, m_root.path(),
                                     writable ? "elradfmwMT" : "elr"};
    if (!user.empty())
        argv.insert(argv.end(), {user, password});
    m_process = StartGreetingServer(argv, m_work.file("ftp.log"), &m_port);
    if (!m_process)
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
