#include "mainwindow/InstanceChannel.h"

#include "foundation/uPrivateFolder.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace
{
// A stalled peer must not hold the listener for long.
constexpr int kPeerTimeoutMs = 2000;

// False when the path does not fit in an address.
bool SocketAddress(const std::string& path, sockaddr_un& address, socklen_t& length)
{
    std::memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.data(), path.size());
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    return true;
}

bool WaitFor(int fd, short events, int timeoutMs)
{
    pollfd entry{fd, events, 0};
    int result;
    do
        result = ::poll(&entry, 1, timeoutMs);
    while (result < 0 && errno == EINTR);
    return result > 0 && (entry.revents & events) != 0;
}

bool SendAll(int fd, const void* data, std::size_t size, int timeoutMs)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0)
    {
        if (!WaitFor(fd, POLLOUT, timeoutMs))
            return false;
        ssize_t sent = ::send(fd, bytes, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        bytes += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool ReceiveAll(int fd, void* data, std::size_t size, int timeoutMs)
{
    char* bytes = static_cast<char*>(data);
    while (size > 0)
    {
        if (!WaitFor(fd, POLLIN, timeoutMs))
            return false;
        ssize_t received = ::recv(fd, bytes, size, 0);
        if (received < 0 && errno == EINTR)
            continue;
        if (received <= 0)
            return false;
        bytes += received;
        size -= static_cast<std::size_t>(received);
    }
    return true;
}
} // namespace

CInstanceChannel::~CInstanceChannel()
{
    Stop();
}

std::string CInstanceChannel::SocketFolder()
{
    const std::string runtime = UserRuntimeFolder();
    return !runtime.empty() ? runtime : UserCacheFolder();
}

std::string CInstanceChannel::SocketPath(const std::string& guid)
{
    const std::string folder = SocketFolder();
    if (folder.empty())
        return {};
    // FNV-1a: stable across runs and builds, unlike std::hash.
    std::uint64_t digest = 1469598103934665603ull;
    for (unsigned char c : guid)
        digest = (digest ^ c) * 1099511628211ull;
    char name[40];
    std::snprintf(name, sizeof name, "kestrova-%016llx.sock", static_cast<unsigned long long>(digest));
    return folder + "/" + name;
}

int CInstanceChannel::Bind(const std::string& socketPath)
{
    sockaddr_un address;
    socklen_t length = 0;
    if (!SocketAddress(socketPath, address, length))
        return -1;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0)
    {
        int error = errno;
        ::close(fd);
        return error == EADDRINUSE ? 0 : -1;
    }
    struct stat info = {};
    if (::chmod(socketPath.c_str(), 0600) != 0 || ::lstat(socketPath.c_str(), &info) != 0 ||
        ::listen(fd, 8) != 0)
    {
        ::close(fd);
        ::unlink(socketPath.c_str());
        return -1;
    }
    m_listenFd = fd;
    m_socketPath = socketPath;
    m_socketInode = static_cast<unsigned long>(info.st_ino);
    return 1;
}

CInstanceChannel::Role CInstanceChannel::Start(const std::string& guid, const std::string& path,
                                               Receiver receiver)
{
    Stop();
    const std::string socketPath = SocketPath(guid);
    if (socketPath.empty())
        return Role::kUnavailable;
    for (int attempt = 0; attempt < 3; ++attempt)
    {
        int bound = Bind(socketPath);
        if (bound < 0)
            return Role::kUnavailable;
        if (bound == 0)
        {
            if (path.size() <= kMaxRecord && Deliver(socketPath, path, 2000) == Answer::kDelivered)
                return Role::kSecond;
            // Stale, silent or foreign: this start takes the name over. Only
            // a socket is removed; anything else at the path stays and the
            // start runs unheard.
            struct stat info = {};
            if (::lstat(socketPath.c_str(), &info) == 0 && !S_ISSOCK(info.st_mode))
                return Role::kUnavailable;
            ::unlink(socketPath.c_str());
            continue;
        }
        m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (m_wakeFd < 0)
        {
            Stop();
            return Role::kUnavailable;
        }
        m_receiver = std::move(receiver);
        m_listener = std::thread([this] { Listen(); });
        return Role::kFirst;
    }
    return Role::kUnavailable;
}

void CInstanceChannel::Stop()
{
    if (m_listener.joinable())
    {
        std::uint64_t one = 1;
        ssize_t written = ::write(m_wakeFd, &one, sizeof(one));
        (void)written;
        m_listener.join();
    }
    if (m_listenFd >= 0)
    {
        ::close(m_listenFd);
        struct stat info = {};
        if (::lstat(m_socketPath.c_str(), &info) == 0 &&
            static_cast<unsigned long>(info.st_ino) == m_socketInode)
            ::unlink(m_socketPath.c_str());
    }
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
    m_listenFd = -1;
    m_wakeFd = -1;
    m_socketPath.clear();
    m_socketInode = 0;
}

void CInstanceChannel::Listen()
{
    for (;;)
    {
        pollfd entries[2] = {{m_listenFd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        if (::poll(entries, 2, -1) < 0)
        {
            if (errno == EINTR)
                continue;
            return;
        }
        if (entries[1].revents != 0)
            return;
        if ((entries[0].revents & POLLIN) == 0)
            continue;
        int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ServeConnection(fd);
        ::close(fd);
    }
}

void CInstanceChannel::ServeConnection(int fd)
{
    ucred peer{};
    socklen_t peerLength = sizeof(peer);
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &peerLength) != 0 || peer.uid != ::geteuid())
        return;
    unsigned char header[4];
    if (!ReceiveAll(fd, header, sizeof(header), kPeerTimeoutMs))
        return;
    std::size_t length = (std::size_t{header[0]} << 24) | (std::size_t{header[1]} << 16) |
                         (std::size_t{header[2]} << 8) | std::size_t{header[3]};
    if (length > kMaxRecord)
        return;
    std::string path(length, '\0');
    if (length > 0 && !ReceiveAll(fd, path.data(), length, kPeerTimeoutMs))
        return;
    if (m_receiver)
        m_receiver(std::move(path));
    const char done = 1;
    SendAll(fd, &done, 1, kPeerTimeoutMs);
}

bool CInstanceChannel::HandOver(const std::string& guid, const std::string& path, int timeoutMs)
{
    if (path.size() > kMaxRecord)
        return false;
    const std::string socketPath = SocketPath(guid);
    return !socketPath.empty() && Deliver(socketPath, path, timeoutMs) == Answer::kDelivered;
}

CInstanceChannel::Answer CInstanceChannel::Deliver(const std::string& socketPath, const std::string& path,
                                                   int timeoutMs)
{
    sockaddr_un address;
    socklen_t length = 0;
    if (!SocketAddress(socketPath, address, length))
        return Answer::kNobody;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return Answer::kNobody;
    Answer answer = Answer::kNobody;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0)
    {
        // The path goes only to a process of this user.
        ucred peer{};
        socklen_t peerLength = sizeof(peer);
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &peerLength) != 0 || peer.uid != ::geteuid())
            answer = Answer::kForeign;
        else
        {
            std::uint32_t size = static_cast<std::uint32_t>(path.size());
            unsigned char header[4] = {
                static_cast<unsigned char>(size >> 24), static_cast<unsigned char>(size >> 16),
                static_cast<unsigned char>(size >> 8), static_cast<unsigned char>(size)};
            char done = 0;
            const bool ok = SendAll(fd, header, sizeof(header), timeoutMs) &&
                            SendAll(fd, path.data(), path.size(), timeoutMs) &&
                            ReceiveAll(fd, &done, 1, timeoutMs) && done == 1;
            answer = ok ? Answer::kDelivered : Answer::kSilent;
        }
    }
    ::close(fd);
    return answer;
}
