#include "support/LocalTlsServer.h"

#include <charconv>
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
    // Port 0: the server binds a port the system picks, so no other process can take it in
    // between, and reports it once it listens (hence no -quiet, which silences that line).
    m_process = std::make_unique<ChildProcess>(
        std::vector<std::string>{kOpenssl, "s_server", "-accept", "127.0.0.1:0", "-cert",
                                 m_work.file("cert.pem"), "-key", m_work.file("key.pem"), "-www"},
        m_work.file("server.log"));
    const std::string port = m_process->waitForOutput("ACCEPT 127.0.0.1:", 15000);
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), m_port);
    if (error != std::errc() || end != port.data() + port.size() || m_port <= 0)
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
