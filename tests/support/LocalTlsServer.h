#pragma once

#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <memory>
#include <string>

namespace testsupport
{

// `openssl s_server -www` on 127.0.0.1 and a free port, with a throw-away self-signed
// certificate for 127.0.0.1 made by `openssl req`. It answers any GET with a status page. Its use
// is to show how clients treat a certificate that no system authority signed. Tests skip when
// available() is false.
class LocalTlsServer
{
public:
    LocalTlsServer(); // throws std::runtime_error when openssl fails
    ~LocalTlsServer();
    LocalTlsServer(const LocalTlsServer&) = delete;
    LocalTlsServer& operator=(const LocalTlsServer&) = delete;

    static bool available();

    int port() const { return m_port; }
    std::string url(const std::string& path = "/") const; // "https://127.0.0.1:PORT" + path
    std::string certificatePath() const { return m_work.file("cert.pem"); }
    std::string log() const;

private:
    TempDir m_work;
    int m_port = 0;
    std::unique_ptr<ChildProcess> m_process;
};

} // namespace testsupport
