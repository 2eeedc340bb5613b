#pragma once

#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <memory>
#include <string>

namespace testsupport
{

// Debian's pyftpdlib, started with /usr/bin/python3 on 127.0.0.1 and a free port, serving a
// temporary root folder (passive mode, read-only unless `writable`). Without a user it admits
// anonymous logins only; with one, only that user. Tests skip when available() is false.
class LocalFtpServer
{
public:
    explicit LocalFtpServer(const std::string& user = {}, const std::string& password = {},
                            bool writable = false);
    ~LocalFtpServer();
    LocalFtpServer(const LocalFtpServer&) = delete;
    LocalFtpServer& operator=(const LocalFtpServer&) = delete;

    static bool available();

    int port() const { return m_port; }
    const std::string& root() const { return m_root.path(); }
    // Places a file under the root; returns its full local path.
    std::string write(const std::string& name, const std::string& bytes) const
    {
        return m_root.write(name, bytes);
    }
    // "ftp://127.0.0.1:PORT" + path, without credentials.
    std::string url(const std::string& path = "/") const;
    // The same with "user:password@" before the host.
    std::string urlWithLogin(const std::string& path = "/") const;
    std::string log() const;

private:
    TempDir m_root;
    TempDir m_work;
    std::string m_user;
    std::string m_password;
    int m_port = 0;
    std::unique_ptr<ChildProcess> m_process;
};

} // namespace testsupport
