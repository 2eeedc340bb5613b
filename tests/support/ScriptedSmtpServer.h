#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport
{

// An SMTP server inside the test process on 127.0.0.1 and a free port, for the answers aiosmtpd
// will not give: a login it demands, a recipient it refuses, a greeting that refuses, or no
// greeting at all (a stalled server). One connection at a time.
class ScriptedSmtpServer
{
public:
    struct Script
    {
        int greeting = 220; // 0: accept the connection and never answer
        bool refuseRecipient = false;
        std::string user;     // when set, MAIL FROM needs an AUTH with these
        std::string password; // (AUTH PLAIN)
    };
    static Script Accepting() { return Script(); }
    static Script Greeting(int code)
    {
        Script script;
        script.greeting = code;
        return script;
    }
    static Script Stalled() { return Greeting(0); }
    static Script RefusingRecipients()
    {
        Script script;
        script.refuseRecipient = true;
        return script;
    }
    static Script WantingLogin(const std::string& user, const std::string& password)
    {
        Script script;
        script.user = user;
        script.password = password;
        return script;
    }

    explicit ScriptedSmtpServer(Script script);
    ~ScriptedSmtpServer();
    ScriptedSmtpServer(const ScriptedSmtpServer&) = delete;
    ScriptedSmtpServer& operator=(const ScriptedSmtpServer&) = delete;

    int port() const { return m_port; }
    // "127.0.0.1:PORT", as the SMTP server setting takes it.
    std::string address() const { return "127.0.0.1:" + std::to_string(m_port); }
    // The DATA of every message accepted, dot-stuffing undone.
    std::vector<std::string> messages() const;
    // The logins offered, "user:password" each.
    std::vector<std::string> logins() const;
    int connections() const { return m_connections; }

private:
    void serve();
    void converse(int fd);

    Script m_script;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    mutable std::mutex m_lock;
    std::vector<std::string> m_messages;
    std::vector<std::string> m_logins;
    std::thread m_thread;
};

} // namespace testsupport
