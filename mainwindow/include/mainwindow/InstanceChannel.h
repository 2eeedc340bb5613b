#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <thread>

// One running instance per user: the first instance binds a Unix socket in
// the user's private runtime folder and listens on it; a later instance
// connects, hands over the file it was started with and exits. Both sides
// check that the other end belongs to the same user (SO_PEERCRED). A socket
// that is stale (its holder died), answers nobody, or belongs to someone else
// is taken over: that start becomes the first instance.
//
// A hand-over is one record: a 4-byte big-endian length, then that many bytes
// of UTF-8 (the full path; empty means "just come forward"). The listener
// answers one byte once the receiver has the path.
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
    // socket is taken but its holder does not take the record (it died, is
    // ending, stays silent or is another user's), the socket is replaced.
    Role Start(const std::string& guid, const std::string& path, Receiver receiver);
    // Stops listening and frees the name; the receiver is not called after it
    // returns. Safe to call twice.
    void Stop();
    bool IsListening() const { return m_listenFd >= 0; }

    // $XDG_RUNTIME_DIR when it is a folder of this user closed to others
    // that nobody else can swap; otherwise "kestrova" in the user's cache
    // folder ($XDG_CACHE_HOME or ~/.cache), under the same rule. Empty when
    // neither can be had.
    static std::string SocketFolder();
    // The socket of this GUID in SocketFolder(): "kestrova-" + a short digest
    // of the GUID + ".sock" (socket paths are short).
    static std::string SocketPath(const std::string& guid);
    // Connects to the first instance and hands the path over; false when no
    // instance listens or it did not confirm within timeoutMs.
    static bool HandOver(const std::string& guid, const std::string& path, int timeoutMs = 2000);

private:
    enum class Answer
    {
        kDelivered,
        kNobody,  // nothing listens: a stale socket
        kForeign, // another user's process holds it
        kSilent,  // connected, but the record was not confirmed
    };
    static Answer Deliver(const std::string& socketPath, const std::string& path, int timeoutMs);
    // 1 bound, 0 the path is taken, -1 no socket.
    int Bind(const std::string& socketPath);
    void Listen();
    void ServeConnection(int fd);

    int m_listenFd = -1;
    std::string m_socketPath;
    unsigned long m_socketInode = 0; // so that Stop never removes a successor's socket
    int m_wakeFd = -1;
    Receiver m_receiver;
    std::thread m_listener;
};
