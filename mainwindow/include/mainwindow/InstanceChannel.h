#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <thread>

// One running instance per user: the first instance binds an abstract Unix
// socket named after the program's GUID and the user id, and listens on it;
// a later instance finds the name taken, connects, hands over the file it was
// started with and exits. The kernel frees the name when the first process
// ends, so no stale lock survives a crash.
//
// A hand-over is one record: a 4-byte big-endian length, then that many bytes
// of UTF-8 (the full path; empty means "just come forward"). The listener
// answers one byte once the receiver has the path. Only peers of the same
// user are heard (SO_PEERCRED).
class CInstanceChannel
{
public:
    // Called on the listener thread with each path handed over.
    using Receiver = std::function<void(std::string path)>;

    enum class Role
    {
        kFirst,       // this process holds the name and listens
        kSecond,      // another instance holds it; the path was handed over
        kUnavailable, // no socket could be made: run on as if first, unheard
    };

    // Records longer than this are refused unread.
    static constexpr std::size_t kMaxRecord = 64 * 1024;

    CInstanceChannel() = default;
    ~CInstanceChannel();
    CInstanceChannel(const CInstanceChannel&) = delete;
    CInstanceChannel& operator=(const CInstanceChannel&) = delete;

    // Becomes the first instance, or hands `path` to the one that is. When the
    // name is taken but the holder does not take the record (it is ending),
    // binding is tried once more.
    Role Start(const std::string& guid, const std::string& path, Receiver receiver);
    // Stops listening and frees the name; the receiver is not called after it
    // returns. Safe to call twice.
    void Stop();
    bool IsListening() const { return m_listenFd >= 0; }

    // "kestrova-" + guid + "-" + the user id: the socket's abstract name.
    static std::string SocketName(const std::string& guid);
    // Connects to the first instance and hands the path over; false when no
    // instance listens or it did not confirm within timeoutMs.
    static bool HandOver(const std::string& guid, const std::string& path, int timeoutMs = 2000);

private:
    // 1 bound, 0 the name is taken, -1 no socket.
    int Bind(const std::string& guid);
    void Listen();
    void ServeConnection(int fd);

    int m_listenFd = -1;
    int m_wakeFd = -1;
    Receiver m_receiver;
    std::thread m_listener;
};
