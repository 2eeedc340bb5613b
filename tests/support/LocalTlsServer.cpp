#include "support/LocalTlsServer.h"

#include <stdexcept>
#include <unistd.h>

namespace testsupport
{

namespace
{

const char* const kOpenssl = "/usr/bin/openssl";

} // namespace

LocalTlsServer::LocalTlsServer()
{
    // An EC key is made in milliseconds; RSA would slow every test that starts a server.
    int made = RunProgram({kOpenssl, "req", "-x509", "-newkey", "ec", "-pkeyopt",
                           "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1",
                           "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", m_work.file("key.pem"),
                           "-out", m_work.file("cert.pem")},
                          m_work.file("req.log"));
    if (made != 0)
        throw std::runtime_error("LocalTlsServer: openssl req failed: " +
                                 ReadFileBytes(m_work.file("req.log")));
    for (int attempt = 0; attempt < 5; ++attempt)
    {
        m_port = PickFreePort();
        m_process = std::make_unique<ChildProcess>(
            std::vector<std::string>{kOpenssl, "s_server", "-accept", "127.0.0.1:" + std::to_string(m_port),
                                     "-cert", m_work.file("cert.pem"), "-key", m_work.file("key.pem"), "-www",
                                     "-quiet"},
            m_work.file("server.log"));
        if (WaitForPort(m_port, 15000, m_process.get()))
            return;
        m_process.reset();
    }
    throw std::runtime_error("LocalTlsServer: openssl s_server did not start: " +
                             ReadFileBytes(m_work.file("server.log")));
}

LocalTlsServer::~LocalTlsServer() = default;

bool LocalTlsServer::available()
{
    return ::access(kOpenssl, X_OK) == 0;
}

std::string LocalTlsServer::url(const std::string& path) const
{
    return "https://127.0.0.1:" + std::to_string(m_port) + path;
}

std::string LocalTlsServer::log() const
{
    return m_process ? m_process->log() : std::string();
}

} // namespace testsupport
