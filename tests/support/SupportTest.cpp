// Checks of the test fixtures themselves, with plain sockets and the resolver: if these fail,
// a failing network test of the engine says nothing about the engine.
#include "tests/support/BlackHole.h"
#include "tests/support/FakeServer.h"
#include "tests/support/LookupGate.h"
#include "tests/support/NetSandbox.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

#define REQUIRE_SANDBOX()                                                                          \
    if (!NetSandboxAvailable())                                                                    \
    GTEST_SKIP() << NetSandboxReason()

sockaddr_in Endpoint(const char* addr, uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = Ipv4(addr);
    return sa;
}

// Connects, sends, reads until the server closes; each recv is one element.
std::vector<std::string> Exchange(const char* addr, uint16_t port, const std::string& request,
                                  int* connectErrno = nullptr) {
    std::vector<std::string> chunks;
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa = Endpoint(addr, port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        if (connectErrno)
            *connectErrno = errno;
        ::close(fd);
        return chunks;
    }
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    char buf[512];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 3000) <= 0)
            break;
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        chunks.emplace_back(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return chunks;
}

std::string Join(const std::vector<std::string>& parts) {
    std::string all;
    for (const auto& p : parts)
        all += p;
    return all;
}

struct Lookup {
    bool found = false;
    std::string name;
    std::vector<std::string> aliases;
    std::vector<uint32_t> addresses;
};

Lookup ByName(const char* name) {
    Lookup r;
    hostent entry{}, *result = nullptr;
    char buffer[8192];
    int herr = 0;
    ::gethostbyname_r(name, &entry, buffer, sizeof buffer, &result, &herr);
    if (!result)
        return r;
    r.found = true;
    r.name = result->h_name;
    for (char** a = result->h_aliases; *a; ++a)
        r.aliases.emplace_back(*a);
    for (char** a = result->h_addr_list; *a; ++a) {
        uint32_t v;
        std::memcpy(&v, *a, 4);
        r.addresses.push_back(v);
    }
    return r;
}

Lookup ByAddress(const char* dotted) {
    Lookup r;
    uint32_t a = Ipv4(dotted);
    hostent entry{}, *result = nullptr;
    char buffer[8192];
    int herr = 0;
    ::gethostbyaddr_r(&a, 4, AF_INET, &entry, buffer, sizeof buffer, &result, &herr);
    if (result) {
        r.found = true;
        r.name = result->h_name;
    }
    return r;
}

} // namespace

TEST(NetSandbox, PrivateNamesResolveForwardAndBack) {
    REQUIRE_SANDBOX();
    Lookup a = ByName(sandbox::kWhoisA);
    ASSERT_TRUE(a.found);
    EXPECT_EQ(a.addresses, std::vector<uint32_t>{Ipv4(sandbox::kWhoisAAddr)});
    EXPECT_EQ(ByAddress(sandbox::kWhoisAAddr).name, sandbox::kWhoisA);
    EXPECT_FALSE(ByAddress(sandbox::kNamelessAddr).found);
}

TEST(NetSandbox, NameOnTwoLinesGivesAliasesAndBothAddresses) {
    REQUIRE_SANDBOX();
    Lookup m = ByName(sandbox::kMulti);
    ASSERT_TRUE(m.found);
    EXPECT_EQ(m.name, sandbox::kMulti);
    EXPECT_EQ(m.aliases, (std::vector<std::string>{sandbox::kMultiAlias1, sandbox::kMultiAlias2}));
    EXPECT_EQ(m.addresses,
              (std::vector<uint32_t>{Ipv4(sandbox::kMultiAddr1), Ipv4(sandbox::kMultiAddr2)}));
}

TEST(NetSandbox, UnknownNameFailsWithHostNotFound) {
    REQUIRE_SANDBOX();
    hostent entry{}, *result = nullptr;
    char buffer[4096];
    int herr = 0;
    ::gethostbyname_r(sandbox::kUnknown, &entry, buffer, sizeof buffer, &result, &herr);
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(herr, HOST_NOT_FOUND);
    ::gethostbyname_r("example.com", &entry, buffer, sizeof buffer, &result, &herr);
    EXPECT_EQ(result, nullptr) << "a real name must not resolve inside the sandbox";
}

TEST(FakeServer, AnswersByQueryAndRecordsRequests) {
    REQUIRE_SANDBOX();
    FakeServer server(sandbox::kWhoisAAddr, 43,
                      FakeServer::AnswerByQuery({{"a.test", "answer A\r\n"}}, "no match\r\n"));
    ASSERT_TRUE(server.Listening()) << server.Error();
    EXPECT_EQ(Join(Exchange(sandbox::kWhoisAAddr, 43, "a.test\r\n")), "answer A\r\n");
    EXPECT_EQ(Join(Exchange(sandbox::kWhoisAAddr, 43, "b.test\r\n")), "no match\r\n");
    ASSERT_TRUE(server.WaitFinished(2, 3s));
    EXPECT_EQ(server.Connections(), 2);
    EXPECT_EQ(server.Received(), (std::vector<std::string>{"a.test\r\n", "b.test\r\n"}));
}

TEST(FakeServer, ChunksWithGapArriveSeparately) {
    REQUIRE_SANDBOX();
    FakeServer server(sandbox::kWhoisAAddr, 43,
                      FakeServer::Chunks({std::string("ab\0cd", 5), "ef"}, 250ms));
    ASSERT_TRUE(server.Listening()) << server.Error();
    auto chunks = Exchange(sandbox::kWhoisAAddr, 43, "q\r\n");
    EXPECT_EQ(chunks, (std::vector<std::string>{std::string("ab\0cd", 5), "ef"}));
}

TEST(FakeServer, CloseAtOnceSendsNothingAndPartThenSilenceHolds) {
    REQUIRE_SANDBOX();
    {
        FakeServer server(sandbox::kWhoisAAddr, 43, FakeServer::CloseAtOnce());
        EXPECT_TRUE(Exchange(sandbox::kWhoisAAddr, 43, "q\r\n").empty());
    }
    FakeServer server(sandbox::kWhoisBAddr, 43, FakeServer::PartThenSilence("part"));
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa = Endpoint(sandbox::kWhoisBAddr, 43);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    ::send(fd, "q\r\n", 3, 0);
    char buf[16];
    EXPECT_EQ(::recv(fd, buf, sizeof buf, 0), 4);
    pollfd p{fd, POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 300), 0) << "the server must stay silent after its part";
    const auto start = std::chrono::steady_clock::now();
    server.Stop(); // must end the silent conversation at once
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    ::close(fd);
}

TEST(FakeServer, NoListenerRefusesAndBlackHoleNeverConnects) {
    REQUIRE_SANDBOX();
    int err = 0;
    Exchange(sandbox::kRefusedAddr, 43, "q\r\n", &err);
    EXPECT_EQ(err, ECONNREFUSED);

    BlackHole hole(sandbox::kBlackHoleAddr, 43);
    ASSERT_TRUE(hole.Ready()) << hole.Error();
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in sa = Endpoint(sandbox::kBlackHoleAddr, 43);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), -1);
    EXPECT_EQ(errno, EINPROGRESS);
    pollfd p{fd, POLLOUT, 0};
    EXPECT_EQ(::poll(&p, 1, 1500), 0) << "connect completed or failed";
    ::close(fd);
}

TEST(LookupGate, HoldsLookupsUntilReleased) {
    REQUIRE_SANDBOX();
    std::atomic<int> state{0}; // 0 running, 1 failed, 2 found
    std::thread worker;
    {
        LookupGate gate;
        ASSERT_TRUE(gate.Closed()) << gate.Error();
        worker = std::thread([&] { state = ByName(sandbox::kWhoisA).found ? 2 : 1; });
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(state.load(), 0) << "the lookup was not held";
        gate.Release();
        for (int i = 0; i < 300 && state.load() == 0; ++i)
            std::this_thread::sleep_for(10ms);
        EXPECT_EQ(state.load(), 1) << "a held lookup ends without an answer";
    }
    worker.join();
    EXPECT_TRUE(ByName(sandbox::kWhoisA).found) << "the hosts file is back after the gate";
}
