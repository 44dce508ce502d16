// The WinSock-shaped layer over POSIX sockets: start-up data, error codes, loopback
// connections, select, the time-to-live option and cancellation of blocking calls.
#include "platform/WinSock.h"
#include "platform/Cancel.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace ws = winsock;

TEST(WinSockStartup, FillsTheDataBlockAndCountsStartUps) {
    const int before = ws::StartupCount();
    ws::WSADATA data;
    ASSERT_EQ(ws::WSAStartup(ws::MakeWord(1, 1), &data), 0);
    EXPECT_EQ(data.wVersion, 0x0101);
    EXPECT_EQ(data.wHighVersion, 0x0202);
    EXPECT_GT(std::strlen(data.szDescription), 0u);
    EXPECT_EQ(std::string(data.szSystemStatus).rfind("Running", 0), 0u);
    EXPECT_GT(data.iMaxSockets, 0);
    EXPECT_EQ(data.iMaxUdpDg, 65507);
    EXPECT_EQ(ws::StartupCount(), before + 1);
    EXPECT_EQ(ws::WSACleanup(), 0);
    EXPECT_EQ(ws::StartupCount(), before);
}

TEST(WinSockStartup, VersionsAndFailures) {
    ws::WSADATA data;
    EXPECT_EQ(ws::WSAStartup(ws::MakeWord(1, 0), &data), ws::WSAVERNOTSUPPORTED);
    EXPECT_EQ(ws::WSAStartup(ws::MakeWord(0, 9), &data), ws::WSAVERNOTSUPPORTED);
    ASSERT_EQ(ws::WSAStartup(ws::MakeWord(3, 0), &data), 0);
    EXPECT_EQ(data.wVersion, 0x0202); // capped at the highest offered
    ws::WSACleanup();
    EXPECT_EQ(ws::WSAStartup(ws::MakeWord(1, 1), nullptr), ws::WSAEFAULT);

    ws::InjectStartupFailure(ws::WSASYSNOTREADY);
    EXPECT_EQ(ws::WSAStartup(ws::MakeWord(1, 1), &data), ws::WSASYSNOTREADY);
    ws::InjectStartupFailure(0);

    // A clean-up without a start-up to match is refused, not counted.
    const int before = ws::StartupCount();
    if (before == 0) {
        EXPECT_EQ(ws::WSACleanup(), ws::SOCKET_ERROR);
        EXPECT_EQ(ws::WSAGetLastError(), ws::WSANOTINITIALISED);
        EXPECT_EQ(ws::StartupCount(), 0);
    }
}

TEST(WinSockErrors, LastErrorIsPerThread) {
    ws::WSASetLastError(10061);
    std::thread other([] {
        EXPECT_EQ(ws::WSAGetLastError(), 0);
        ws::WSASetLastError(10060);
        EXPECT_EQ(ws::WSAGetLastError(), 10060);
    });
    other.join();
    EXPECT_EQ(ws::WSAGetLastError(), 10061);
}

TEST(WinSockAddresses, InetAddrParsesOrGivesAllOnes) {
    uint32_t a = ws::inet_addr("192.168.0.1");
    const auto* b = reinterpret_cast<const unsigned char*>(&a);
    EXPECT_EQ(b[0], 192);
    EXPECT_EQ(b[3], 1);
    EXPECT_EQ(ws::inet_addr("300.1.1.1"), 0xFFFFFFFFu);
    EXPECT_EQ(ws::inet_addr(nullptr), 0xFFFFFFFFu);
    EXPECT_EQ(ws::gethostbyaddr(nullptr, 4, AF_INET), std::nullopt);
    EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEFAULT);
}

// A loopback listener on an ephemeral port.
struct Listener {
    int fd = -1;
    sockaddr_in address{};
    explicit Listener(int backlog = 4) {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        socklen_t length = sizeof address;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        EXPECT_EQ(::listen(fd, backlog), 0);
    }
    ~Listener() { Close(); }
    void Close() {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    const sockaddr* Addr() const { return reinterpret_cast<const sockaddr*>(&address); }
};

TEST(WinSockSockets, ConnectSendAndReceiveOverLoopback) {
    Listener listener;
    ws::SOCKET s = ws::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_NE(s, ws::INVALID_SOCKET);
    ASSERT_EQ(ws::connect(s, listener.Addr(), sizeof(sockaddr_in)), 0);
    int peer = ::accept(listener.fd, nullptr, nullptr);
    ASSERT_GE(peer, 0);
    // A send larger than the socket buffers still goes out whole, as with a blocking send.
    std::string big(1 << 20, 'w');
    std::thread reader([peer, n = big.size()] {
        std::vector<char> buffer(65536);
        size_t got = 0;
        while (got < n) {
            ssize_t r = ::recv(peer, buffer.data(), buffer.size(), 0);
            if (r <= 0)
                break;
            got += size_t(r);
        }
        EXPECT_EQ(got, n);
        ::send(peer, "ok", 2, MSG_NOSIGNAL);
        ::close(peer);
    });
    EXPECT_EQ(ws::send(s, big.data(), int(big.size()), 0), int(big.size()));
    char buffer[8] = {};
    EXPECT_EQ(ws::recv(s, buffer, sizeof buffer, 0), 2);
    EXPECT_STREQ(buffer, "ok");
    reader.join();
    EXPECT_EQ(ws::recv(s, buffer, sizeof buffer, 0), 0); // the peer's close
    EXPECT_EQ(ws::shutdown(s, ws::SD_RECEIVE), 0);
    EXPECT_EQ(ws::shutdown(s, 7), ws::SOCKET_ERROR);
    EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEINVAL);
    EXPECT_EQ(ws::closesocket(s), 0);
}

TEST(WinSockSockets, RefusedConnectionIs10061) {
    Listener listener;
    listener.Close(); // nobody listens on that port any more
    ws::SOCKET s = ws::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_NE(s, ws::INVALID_SOCKET);
    EXPECT_EQ(ws::connect(s, listener.Addr(), sizeof(sockaddr_in)), ws::SOCKET_ERROR);
    EXPECT_EQ(ws::WSAGetLastError(), 10061);
    ws::closesocket(s);
    EXPECT_EQ(ws::closesocket(s), ws::SOCKET_ERROR);
    EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEBADF);
}

TEST(WinSockSockets, TimeToLiveUsesWinSocksOptionNumber) {
    ws::SOCKET s = ws::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_NE(s, ws::INVALID_SOCKET);
    int ttl = 7;
    ASSERT_EQ(ws::setsockopt(s, ws::WS_IPPROTO_IP, ws::WS_IP_TTL, reinterpret_cast<char*>(&ttl),
                             sizeof ttl),
              0);
    int actual = 0;
    socklen_t length = sizeof actual;
    ASSERT_EQ(::getsockopt(s, IPPROTO_IP, IP_TTL, &actual, &length), 0);
    EXPECT_EQ(actual, 7);
    // Linux's own number for the option (2) is not WinSock's: refused, not misapplied.
    EXPECT_EQ(
        ws::setsockopt(s, ws::WS_IPPROTO_IP, IP_TTL, reinterpret_cast<char*>(&ttl), sizeof ttl),
        ws::SOCKET_ERROR);
    EXPECT_EQ(ws::WSAGetLastError(), ws::WSAENOPROTOOPT);
    ws::closesocket(s);
}

TEST(WinSockSelect, ReducesTheSetsToTheReadySockets) {
    int a[2], b[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, a), 0);
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, b), 0);
    ASSERT_EQ(::write(b[1], "x", 1), 1);
    ws::fd_set set;
    ws::FdSet(a[0], &set);
    ws::FdSet(b[0], &set);
    ws::FdSet(b[0], &set); // once only
    EXPECT_EQ(set.fd_count, 2u);
    timeval zero{0, 0};
    EXPECT_EQ(ws::select(0, &set, nullptr, nullptr, &zero), 1);
    EXPECT_FALSE(ws::FdIsSet(a[0], &set));
    EXPECT_TRUE(ws::FdIsSet(b[0], &set));

    ws::FdZero(&set);
    ws::FdSet(a[0], &set);
    timeval short_{0, 20000};
    auto start = Clock::now();
    EXPECT_EQ(ws::select(0, &set, nullptr, nullptr, &short_), 0);
    EXPECT_GE(Clock::now() - start, 19ms);
    EXPECT_EQ(set.fd_count, 0u);

    ws::fd_set none;
    EXPECT_EQ(ws::select(0, &none, nullptr, nullptr, &zero), ws::SOCKET_ERROR);
    EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEINVAL);

    int gone = ::dup(a[0]);
    ::close(gone);
    ws::FdSet(gone, &none);
    EXPECT_EQ(ws::select(0, &none, nullptr, nullptr, &zero), ws::SOCKET_ERROR);
    EXPECT_EQ(ws::WSAGetLastError(), ws::WSAENOTSOCK);
    for (int fd : {a[0], a[1], b[0], b[1]})
        ::close(fd);
}

TEST(WinSockCancel, CancelEndsABlockedSelectAndConnect) {
    // The accept queue of a listener that never accepts fills up, after which a further
    // connect waits for an answer that never comes.
    Listener full(0);
    std::vector<int> fillers;
    for (int i = 0; i < 8; ++i) {
        int f = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        ::connect(f, full.Addr(), sizeof(sockaddr_in));
        fillers.push_back(f);
    }
    std::this_thread::sleep_for(50ms);

    platform::CancelToken token;
    std::atomic<int> selectResult{0}, selectError{0}, connectResult{0}, connectError{0};
    std::atomic<bool> started{false};
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    std::thread worker([&] {
        platform::SetCurrentCancelToken(&token);
        started = true;
        ws::SOCKET s = ws::socket(AF_INET, SOCK_STREAM, 0);
        connectResult = ws::connect(s, full.Addr(), sizeof(sockaddr_in));
        connectError = ws::WSAGetLastError();
        ws::closesocket(s);
        ws::fd_set set;
        ws::FdSet(pair[0], &set);
        selectResult = ws::select(0, &set, nullptr, nullptr, nullptr); // already cancelled
        selectError = ws::WSAGetLastError();
        platform::SetCurrentCancelToken(nullptr);
    });
    while (!started)
        std::this_thread::yield();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(connectResult, 0) << "connect finished before the cancel: no blocked connect";
    auto start = Clock::now();
    token.Cancel();
    worker.join();
    EXPECT_LT(Clock::now() - start, 100ms);
    EXPECT_EQ(connectResult, ws::SOCKET_ERROR);
    EXPECT_EQ(connectError, ws::WSAEINTR);
    EXPECT_EQ(selectResult, ws::SOCKET_ERROR);
    EXPECT_EQ(selectError, ws::WSAEINTR);
    for (int f : fillers)
        ::close(f);
    ::close(pair[0]);
    ::close(pair[1]);
}

TEST(WinSockSockets, ConnectThatIsNeverAnsweredTimesOut) {
    EXPECT_EQ(ws::ConnectTimeout(), ws::kDefaultConnectTimeout);
    EXPECT_EQ(ws::kDefaultConnectTimeout, 21s);
    Listener full(0);
    std::vector<int> fillers;
    for (int i = 0; i < 8; ++i) {
        int f = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        ::connect(f, full.Addr(), sizeof(sockaddr_in));
        fillers.push_back(f);
    }
    std::this_thread::sleep_for(50ms);
    ws::SetConnectTimeout(300ms);
    ws::SOCKET s = ws::socket(AF_INET, SOCK_STREAM, 0);
    auto start = Clock::now();
    const int rc = ws::connect(s, full.Addr(), sizeof(sockaddr_in));
    const int error = ws::WSAGetLastError();
    auto took = Clock::now() - start;
    ws::SetConnectTimeout(0ms);
    EXPECT_EQ(ws::ConnectTimeout(), ws::kDefaultConnectTimeout) << "0 restores the default";
    EXPECT_EQ(rc, ws::SOCKET_ERROR);
    EXPECT_EQ(error, ws::WSAETIMEDOUT);
    EXPECT_GE(took, 290ms);
    EXPECT_LT(took, 2s);
    // The socket is blocking again afterwards, as connect found it.
    EXPECT_EQ(::fcntl(s, F_GETFL) & O_NONBLOCK, 0);
    ws::closesocket(s);
    for (int f : fillers)
        ::close(f);
}

TEST(WinSockTicks, CountMillisecondsForward) {
    uint32_t first = ws::GetTickCount();
    std::this_thread::sleep_for(30ms);
    uint32_t elapsed = ws::GetTickCount() - first;
    EXPECT_GE(elapsed, 29u);
    EXPECT_LT(elapsed, 2000u);
}

} // namespace
