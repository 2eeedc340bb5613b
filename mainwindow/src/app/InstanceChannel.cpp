#include "mainwindow/InstanceChannel.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace
{
// A stalled peer must not hold the listener for long.
constexpr int kPeerTimeoutMs = 2000;

socklen_t AbstractAddress(const std::string& name, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    // A leading NUL puts the name in the abstract namespace.
    std::size_t length = std::min(name.size(), sizeof(address.sun_path) - 1);
    std::memcpy(address.sun_path + 1, name.data(), length);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
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

std::string CInstanceChannel::SocketName(const std::string& guid)
{
    return "kestrova-" + guid + "-" + std::to_string(::geteuid());
}

int CInstanceChannel::Bind(const std::string& guid)
{
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_un address;
    socklen_t length = AbstractAddress(SocketName(guid), address);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0)
    {
        int error = errno;
        ::close(fd);
        return error == EADDRINUSE ? 0 : -1;
    }
    if (::listen(fd, 8) != 0)
    {
        ::close(fd);
        return -1;
    }
    m_listenFd = fd;
    return 1;
}

CInstanceChannel::Role CInstanceChannel::Start(const std::string& guid, const std::string& path,
                                               Receiver receiver)
{
    Stop();
    for (int attempt = 0; attempt < 2; ++attempt)
    {
        int bound = Bind(guid);
        if (bound < 0)
            return Role::kUnavailable;
        if (bound == 0)
        {
            if (HandOver(guid, path))
                return Role::kSecond;
            continue;
        }
        m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (m_wakeFd < 0)
        {
            ::close(m_listenFd);
            m_listenFd = -1;
            return Role::kUnavailable;
        }
        m_receiver = std::move(receiver);
        m_listener = std::thread([this] { Listen(); });
        return Role::kFirst;
    }
    // The holder neither takes a record nor lets the name go: run unheard.
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
        ::close(m_listenFd);
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
    m_listenFd = -1;
    m_wakeFd = -1;
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
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_un address;
    socklen_t length = AbstractAddress(SocketName(guid), address);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
    if (ok)
    {
        std::uint32_t size = static_cast<std::uint32_t>(path.size());
        unsigned char header[4] = {static_cast<unsigned char>(size >> 24),
                                   static_cast<unsigned char>(size >> 16),
                                   static_cast<unsigned char>(size >> 8), static_cast<unsigned char>(size)};
        char done = 0;
        ok = SendAll(fd, header, sizeof(header), timeoutMs) &&
             SendAll(fd, path.data(), path.size(), timeoutMs) && ReceiveAll(fd, &done, 1, timeoutMs) &&
             done == 1;
    }
    ::close(fd);
    return ok;
}
