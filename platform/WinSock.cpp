#include "platform/WinSock.h"

#include "platform/Cancel.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>

#include <arpa/inet.h>
#include <fcntl.h>
#include <gnu/libc-version.h>
#include <netdb.h>
#include <netinet/ip.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace winsock {

namespace {

thread_local int t_lastError = 0;
std::atomic<int> g_startups{0};
std::atomic<int> g_injectedFailure{0};
std::atomic<int64_t> g_connectTimeoutMs{kDefaultConnectTimeout.count()};

// Largest UDP payload in one IPv4 datagram: 65535 less the IPv4 and UDP headers.
constexpr int kMaxUdpPayload = 65535 - 20 - 8;

void Fail(int code) {
    t_lastError = code;
}
int FailErrno() {
    t_lastError = ErrnoToWinSock(errno);
    return SOCKET_ERROR;
}

void CopyText(char* dest, size_t size, const std::string& text) {
    std::snprintf(dest, size, "%s", text.c_str());
}

// Waits for `events` on one socket, ending early when the calling worker is cancelled.
// Returns 1 ready, 0 when the timeout (negative: none) ran out, -1 with t_lastError set.
int WaitFor(SOCKET s, short events,
            std::chrono::microseconds timeout = std::chrono::microseconds(-1)) {
    pollfd p{s, events, 0};
    int rc = platform::PollCancellable(&p, 1, timeout);
    if (rc == 0)
        return 0;
    if (rc < 0) {
        FailErrno();
        return -1;
    }
    if (p.revents & POLLNVAL) {
        Fail(WSAENOTSOCK);
        return -1;
    }
    return 1;
}

// Runs one non-blocking socket call until it gets through, waiting for `events` (a wait that
// Stop can end) while the socket would block. Returns the call's count, or SOCKET_ERROR with
// the code set.
template <class Call> ssize_t RetryWhileBlocked(SOCKET s, short events, Call call) {
    for (;;) {
        ssize_t n = call();
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return FailErrno();
        if (WaitFor(s, events) < 0)
            return SOCKET_ERROR;
    }
}

HostEntry CopyEntry(const hostent& h) {
    HostEntry e;
    if (h.h_name)
        e.name = h.h_name;
    for (char** a = h.h_aliases; a && *a; ++a)
        e.aliases.emplace_back(*a);
    if (h.h_addrtype == AF_INET && h.h_length == 4) {
        for (char** a = h.h_addr_list; a && *a; ++a) {
            uint32_t address;
            std::memcpy(&address, *a, 4);
            e.addresses.push_back(address);
        }
    } else if (h.h_addrtype == AF_INET6 && h.h_length == 16) {
        for (char** a = h.h_addr_list; a && *a; ++a) {
            In6Bytes address;
            std::memcpy(address.data(), *a, 16);
            e.addresses6.push_back(address);
        }
    }
    return e;
}

// Runs one glibc *_r lookup, growing its scratch buffer while glibc asks for more.
template <typename Call> std::optional<HostEntry> Lookup(Call call) {
    if (auto* token = platform::CurrentCancelToken(); token && token->IsCancelled()) {
        Fail(WSAEINTR);
        return std::nullopt;
    }
    std::vector<char> buffer(2048);
    for (;;) {
        hostent entry{};
        hostent* result = nullptr;
        int herr = 0;
        int rc = call(&entry, buffer.data(), buffer.size(), &result, &herr);
        if (rc == ERANGE && buffer.size() < (1u << 22)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (rc == 0 && result)
            return CopyEntry(*result);
        Fail(rc != 0 && rc != ENOENT && herr == NETDB_INTERNAL ? ErrnoToWinSock(rc)
                                                               : HErrnoToWinSock(herr));
        return std::nullopt;
    }
}

} // namespace

int WSAStartup(uint16_t versionRequested, WSADATA* data) {
    if (int injected = g_injectedFailure.load())
        return injected;
    if (!data)
        return WSAEFAULT;
    const uint8_t major = versionRequested & 0xFF, minor = versionRequested >> 8;
    *data = WSADATA{};
    data->wHighVersion = MakeWord(2, 2);
    if (major < 1 || (major == 1 && minor < 1)) {
        data->wVersion = MakeWord(1, 1);
        return WSAVERNOTSUPPORTED;
    }
    // The caller gets what it asked for, up to the highest version offered.
    data->wVersion = (major > 2 || (major == 2 && minor > 2)) ? MakeWord(2, 2) : versionRequested;

    CopyText(data->szDescription, sizeof data->szDescription,
             std::string("POSIX sockets, GNU C Library ") + gnu_get_libc_version());
    utsname u{};
    std::string status = "Running";
    if (::uname(&u) == 0)
        status += std::string(" on ") + u.sysname + " " + u.release + " " + u.machine;
    CopyText(data->szSystemStatus, sizeof data->szSystemStatus, status);
    rlimit files{};
    rlim_t maxSockets = 0xFFFF;
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY)
        maxSockets = std::min<rlim_t>(files.rlim_cur, 0xFFFF);
    data->iMaxSockets = uint16_t(maxSockets);
    data->iMaxUdpDg = uint16_t(kMaxUdpPayload);
    g_startups.fetch_add(1);
    return 0;
}

int WSACleanup() {
    int count = g_startups.load();
    while (count > 0) {
        if (g_startups.compare_exchange_weak(count, count - 1))
            return 0;
    }
    Fail(WSANOTINITIALISED);
    return SOCKET_ERROR;
}

int StartupCount() {
    return g_startups.load();
}
void InjectStartupFailure(int code) {
    g_injectedFailure.store(code);
}

int WSAGetLastError() {
    return t_lastError;
}
void WSASetLastError(int code) {
    t_lastError = code;
}

int ErrnoToWinSock(int e) {
    switch (e) {
    case 0:
        return 0;
    case EINTR:
        return WSAEINTR;
    case EBADF:
        return WSAEBADF;
    case EACCES:
    case EPERM:
        return WSAEACCES;
    case EFAULT:
        return WSAEFAULT;
    case EINVAL:
        return WSAEINVAL;
    case EMFILE:
    case ENFILE:
        return WSAEMFILE;
    case EAGAIN:
        return WSAEWOULDBLOCK;
    case EINPROGRESS:
        return WSAEINPROGRESS;
    case EALREADY:
        return WSAEALREADY;
    case ENOTSOCK:
        return WSAENOTSOCK;
    case EDESTADDRREQ:
        return WSAEDESTADDRREQ;
    case EMSGSIZE:
        return WSAEMSGSIZE;
    case EPROTOTYPE:
        return WSAEPROTOTYPE;
    case ENOPROTOOPT:
        return WSAENOPROTOOPT;
    case EPROTONOSUPPORT:
        return WSAEPROTONOSUPPORT;
    case ESOCKTNOSUPPORT:
        return WSAESOCKTNOSUPPORT;
    case EOPNOTSUPP:
        return WSAEOPNOTSUPP;
    case EPFNOSUPPORT:
        return WSAEPFNOSUPPORT;
    case EAFNOSUPPORT:
        return WSAEAFNOSUPPORT;
    case EADDRINUSE:
        return WSAEADDRINUSE;
    case EADDRNOTAVAIL:
        return WSAEADDRNOTAVAIL;
    case ENETDOWN:
        return WSAENETDOWN;
    case ENETUNREACH:
        return WSAENETUNREACH;
    case ENETRESET:
        return WSAENETRESET;
    case ECONNABORTED:
        return WSAECONNABORTED;
    // Linux reports a send to a peer that has reset the connection as EPIPE.
    case ECONNRESET:
    case EPIPE:
        return WSAECONNRESET;
    case ENOBUFS:
    case ENOMEM:
        return WSAENOBUFS;
    case EISCONN:
        return WSAEISCONN;
    case ENOTCONN:
        return WSAENOTCONN;
    case ESHUTDOWN:
        return WSAESHUTDOWN;
    case ETOOMANYREFS:
        return WSAETOOMANYREFS;
    case ETIMEDOUT:
        return WSAETIMEDOUT;
    case ECONNREFUSED:
        return WSAECONNREFUSED;
    case ELOOP:
        return WSAELOOP;
    case ENAMETOOLONG:
        return WSAENAMETOOLONG;
    case EHOSTDOWN:
        return WSAEHOSTDOWN;
    case EHOSTUNREACH:
        return WSAEHOSTUNREACH;
    case ENOTEMPTY:
        return WSAENOTEMPTY;
    case EUSERS:
        return WSAEUSERS;
    case EDQUOT:
        return WSAEDQUOT;
    case ESTALE:
        return WSAESTALE;
    case EREMOTE:
        return WSAEREMOTE;
    default:
        return WSABASEERR;
    }
}

int HErrnoToWinSock(int h) {
    switch (h) {
    case HOST_NOT_FOUND:
        return WSAHOST_NOT_FOUND;
    case TRY_AGAIN:
        return WSATRY_AGAIN;
    case NO_RECOVERY:
        return WSANO_RECOVERY;
    case NO_DATA:
        return WSANO_DATA;
    default:
        return WSAHOST_NOT_FOUND;
    }
}

std::optional<HostEntry> gethostbyname(const std::string& name) {
    return Lookup([&](hostent* entry, char* buffer, size_t size, hostent** result, int* herr) {
        return ::gethostbyname_r(name.c_str(), entry, buffer, size, result, herr);
    });
}

std::optional<HostEntry> gethostbyaddr(const void* address, int length, int family) {
    if (!address || length <= 0) {
        Fail(WSAEFAULT);
        return std::nullopt;
    }
    return Lookup([&](hostent* entry, char* buffer, size_t size, hostent** result, int* herr) {
        return ::gethostbyaddr_r(address, socklen_t(length), family, entry, buffer, size, result,
                                 herr);
    });
}

int EaiToWinSock(int eai) {
    switch (eai) {
    case 0:
        return 0;
    case EAI_AGAIN:
        return WSATRY_AGAIN;
    case EAI_FAIL:
        return WSANO_RECOVERY;
    case EAI_NODATA:
    case EAI_ADDRFAMILY:
        return WSANO_DATA;
    case EAI_FAMILY:
        return WSAEAFNOSUPPORT;
    case EAI_SOCKTYPE:
        return WSAESOCKTNOSUPPORT;
    case EAI_BADFLAGS:
        return WSAEINVAL;
    case EAI_SERVICE:
        return WSATYPE_NOT_FOUND;
    case EAI_MEMORY:
        return WSAENOBUFS;
    case EAI_OVERFLOW:
        return WSAEFAULT;
    case EAI_SYSTEM:
        return ErrnoToWinSock(errno);
    default:
        return WSAHOST_NOT_FOUND;
    }
}

int getaddrinfo(const char* node, const char* service, const addrinfo* hints, addrinfo** result) {
    if (!result) {
        Fail(WSAEFAULT);
        return WSAEFAULT;
    }
    *result = nullptr;
    if (auto* token = platform::CurrentCancelToken(); token && token->IsCancelled()) {
        Fail(WSAEINTR);
        return WSAEINTR;
    }
    const int code = EaiToWinSock(::getaddrinfo(node, service, hints, result));
    Fail(code);
    return code;
}

void freeaddrinfo(addrinfo* info) {
    if (info)
        ::freeaddrinfo(info);
}

uint32_t inet_addr(const char* text) {
    if (!text)
        return 0xFFFFFFFFu;
    return ::inet_addr(text);
}

SOCKET socket(int family, int type, int protocol) {
    SOCKET s = ::socket(family, type | SOCK_CLOEXEC, protocol);
    if (s < 0) {
        FailErrno();
        return INVALID_SOCKET;
    }
    return s;
}

int connect(SOCKET s, const sockaddr* name, int length) {
    return connect(s, name, length, ConnectTimeout());
}

int connect(SOCKET s, const sockaddr* name, int length, std::chrono::milliseconds timeout) {
    if (!name || length < int(sizeof(sockaddr_in))) {
        Fail(WSAEFAULT);
        return SOCKET_ERROR;
    }
    // Non-blocking connect and a cancellable, bounded wait, so a stop ends a connect to an
    // address that never answers at once, and without a stop it ends as WinSock's did.
    const int flags = ::fcntl(s, F_GETFL);
    if (flags < 0)
        return FailErrno();
    if (::fcntl(s, F_SETFL, flags | O_NONBLOCK) < 0)
        return FailErrno();
    int rc = ::connect(s, name, socklen_t(length));
    int error = rc == 0 ? 0 : errno;
    if (rc < 0 && error == EINPROGRESS) {
        const int ready = WaitFor(s, POLLOUT, timeout);
        if (ready <= 0) {
            ::fcntl(s, F_SETFL, flags);
            if (ready == 0)
                Fail(WSAETIMEDOUT);
            return SOCKET_ERROR;
        }
        socklen_t len = sizeof error;
        if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &len) < 0)
            error = errno;
    }
    ::fcntl(s, F_SETFL, flags);
    if (error != 0) {
        Fail(ErrnoToWinSock(error));
        return SOCKET_ERROR;
    }
    return 0;
}

std::chrono::milliseconds ConnectTimeout() {
    return std::chrono::milliseconds(g_connectTimeoutMs.load());
}

void SetConnectTimeout(std::chrono::milliseconds timeout) {
    g_connectTimeoutMs.store(timeout.count() > 0 ? timeout.count()
                                                 : kDefaultConnectTimeout.count());
}

int send(SOCKET s, const char* buffer, int length, int flags) {
    if (length < 0 || (!buffer && length > 0)) {
        Fail(WSAEFAULT);
        return SOCKET_ERROR;
    }
    int sent = 0;
    while (sent < length) {
        ssize_t n = RetryWhileBlocked(s, POLLOUT, [&] {
            return ::send(s, buffer + sent, size_t(length - sent),
                          flags | MSG_NOSIGNAL | MSG_DONTWAIT);
        });
        if (n < 0)
            return SOCKET_ERROR;
        sent += int(n);
    }
    return sent;
}

int recv(SOCKET s, char* buffer, int length, int flags) {
    if (length < 0 || (!buffer && length > 0)) {
        Fail(WSAEFAULT);
        return SOCKET_ERROR;
    }
    return int(RetryWhileBlocked(
        s, POLLIN, [&] { return ::recv(s, buffer, size_t(length), flags | MSG_DONTWAIT); }));
}

int sendto(SOCKET s, const char* buffer, int length, int flags, const sockaddr* to, int toLength) {
    if (length < 0 || (!buffer && length > 0) || !to || toLength <= 0) {
        Fail(WSAEFAULT);
        return SOCKET_ERROR;
    }
    return int(RetryWhileBlocked(s, POLLOUT, [&] {
        return ::sendto(s, buffer, size_t(length), flags | MSG_NOSIGNAL | MSG_DONTWAIT, to,
                        socklen_t(toLength));
    }));
}

int recvfrom(SOCKET s, char* buffer, int length, int flags, sockaddr* from, int* fromLength) {
    if (length < 0 || (!buffer && length > 0) || (from && !fromLength)) {
        Fail(WSAEFAULT);
        return SOCKET_ERROR;
    }
    socklen_t len = 0;
    ssize_t n = RetryWhileBlocked(s, POLLIN, [&] {
        len = fromLength ? socklen_t(*fromLength) : 0;
        return ::recvfrom(s, buffer, size_t(length), flags | MSG_DONTWAIT, from,
                          from ? &len : nullptr);
    });
    if (n >= 0 && from && fromLength)
        *fromLength = int(len);
    return int(n);
}

int shutdown(SOCKET s, int how) {
    int mode = how == SD_RECEIVE ? SHUT_RD
               : how == SD_SEND  ? SHUT_WR
               : how == SD_BOTH  ? SHUT_RDWR
                                 : -1;
    if (mode < 0) {
        Fail(WSAEINVAL);
        return SOCKET_ERROR;
    }
    if (::shutdown(s, mode) < 0)
        return FailErrno();
    return 0;
}

int closesocket(SOCKET s) {
    if (::close(s) < 0)
        return FailErrno();
    return 0;
}

int setsockopt(SOCKET s, int level, int option, const char* value, int length) {
    if (!value || length < 0) {
        Fail(WSAEFAULT);
        return SOCKET_ERROR;
    }
    int linuxLevel = level, linuxOption = option;
    if (level == WS_IPPROTO_IP && option == WS_IP_TTL) {
        linuxLevel = IPPROTO_IP;
        linuxOption = IP_TTL;
    } else if (level == WS_IPPROTO_IPV6 && option == WS_IPV6_UNICAST_HOPS) {
        linuxLevel = IPPROTO_IPV6;
        linuxOption = IPV6_UNICAST_HOPS;
    } else {
        // Only the options the engine uses are translated; anything else is refused rather
        // than passed on under a Linux number that means something different.
        Fail(WSAENOPROTOOPT);
        return SOCKET_ERROR;
    }
    if (::setsockopt(s, linuxLevel, linuxOption, value, socklen_t(length)) < 0)
        return FailErrno();
    return 0;
}

void FdZero(fd_set* set) {
    set->fd_count = 0;
}

void FdSet(SOCKET s, fd_set* set) {
    for (unsigned i = 0; i < set->fd_count; ++i)
        if (set->fd_array[i] == s)
            return;
    if (set->fd_count < WS_FD_SETSIZE)
        set->fd_array[set->fd_count++] = s;
}

bool FdIsSet(SOCKET s, const fd_set* set) {
    for (unsigned i = 0; i < set->fd_count; ++i)
        if (set->fd_array[i] == s)
            return true;
    return false;
}

int select(int, fd_set* readSet, fd_set* writeSet, fd_set* errorSet, const timeval* timeout) {
    std::vector<pollfd> fds;
    auto add = [&](fd_set* set, short events) {
        if (!set)
            return;
        for (unsigned i = 0; i < set->fd_count; ++i)
            fds.push_back(pollfd{set->fd_array[i], events, 0});
    };
    add(readSet, POLLIN);
    add(writeSet, POLLOUT);
    add(errorSet, POLLPRI);
    if (fds.empty()) {
        // WinSock refuses a select without any socket.
        Fail(WSAEINVAL);
        return SOCKET_ERROR;
    }
    if (timeout && (timeout->tv_sec < 0 || timeout->tv_usec < 0)) {
        Fail(WSAEINVAL);
        return SOCKET_ERROR;
    }
    auto wait = timeout ? std::chrono::seconds(timeout->tv_sec) +
                              std::chrono::microseconds(timeout->tv_usec)
                        : std::chrono::microseconds(-1);
    int rc = platform::PollCancellable(fds.data(), fds.size(), wait);
    if (rc < 0)
        return FailErrno();

    for (const pollfd& p : fds) {
        if (p.revents & POLLNVAL) {
            Fail(WSAENOTSOCK);
            return SOCKET_ERROR;
        }
    }
    size_t next = 0;
    int ready = 0;
    auto reduce = [&](fd_set* set, short wanted) {
        if (!set)
            return;
        unsigned kept = 0;
        for (unsigned i = 0; i < set->fd_count; ++i, ++next)
            if (fds[next].revents & wanted)
                set->fd_array[kept++] = set->fd_array[i];
        set->fd_count = kept;
        ready += int(kept);
    };
    // A closed or failed connection counts as readable (recv then reports it), as in select.
    reduce(readSet, POLLIN | POLLHUP | POLLERR);
    reduce(writeSet, POLLOUT | POLLHUP | POLLERR);
    reduce(errorSet, POLLPRI);
    return ready;
}

uint32_t GetTickCount() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

} // namespace winsock
