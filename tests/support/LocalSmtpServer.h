#pragma once

#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <memory>
#include <string>
#include <vector>

namespace testsupport
{

// One message as the SMTP server received it: the envelope and the DATA bytes unchanged.
struct SmtpMessage
{
    std::string mailFrom;
    std::vector<std::string> recipients;
    std::string data;
};

// Debian's aiosmtpd, started with /usr/bin/python3 on 127.0.0.1 and a free port. Every message
// it accepts is written to a numbered file, so a test can read exactly what was sent. Tests skip
// when available() is false.
class LocalSmtpServer
{
public:
    LocalSmtpServer();
    ~LocalSmtpServer();
    LocalSmtpServer(const LocalSmtpServer&) = delete;
    LocalSmtpServer& operator=(const LocalSmtpServer&) = delete;

    static bool available();

    int port() const { return m_port; }
    std::string url() const; // "smtp://127.0.0.1:PORT"
    const std::string& mailDir() const { return m_mail.path(); }
    // The messages received so far, oldest first.
    std::vector<SmtpMessage> messages() const;
    // Waits (bounded) until at least `count` messages arrived.
    bool waitForMessages(std::size_t count, int timeoutMs = 10000) const;
    std::string log() const;

private:
    TempDir m_work;
    TempDir m_mail;
    int m_port = 0;
    std::unique_ptr<ChildProcess> m_process;
};

} // namespace testsupport
