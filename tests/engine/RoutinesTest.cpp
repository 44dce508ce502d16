// The engine's pure routines and its socket reader, without any fake server: the reader runs
// on socket pairs and loopback connections made here.
#include "engine/PingCtrl.h"
#include "engine/QueryClients.h"
#include "engine/Resolvers.h"
#include "platform/WinSock.h"
#include "tests/support/NetSandbox.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <net/if.h>
#include <netdb.h>
#include <set>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

uint32_t Addr(unsigned a, unsigned b, unsigned c, unsigned d) {
    const unsigned char bytes[4] = {uint8_t(a), uint8_t(b), uint8_t(c), uint8_t(d)};
    uint32_t value;
    std::memcpy(&value, bytes, 4);
    return value;
}

TEST(IsIPAddress, CountsDotsAndRefusesOtherCharacters) {
    EXPECT_TRUE(IsIPAddress("192.168.1.1"));
    EXPECT_TRUE(IsIPAddress("300.1.1.1")); // no range check
    EXPECT_TRUE(IsIPAddress("999.1.1.1"));
    EXPECT_TRUE(IsIPAddress("1..2.3")); // no digit count either
    EXPECT_TRUE(IsIPAddress("..."));
    EXPECT_FALSE(IsIPAddress("192.168.1"));
    EXPECT_FALSE(IsIPAddress("a.b.c.d"));
    EXPECT_FALSE(IsIPAddress("1.2.3.4."));
    EXPECT_FALSE(IsIPAddress(""));
    EXPECT_FALSE(IsIPAddress(" 1.2.3.4"));
    EXPECT_FALSE(IsIPAddress("1.2.3.4\n"));
    EXPECT_FALSE(IsIPAddress("1.2.3.-4"));
}

TEST(IsHostName, AllowsLowerCaseDigitsDotsAndHyphens) {
    EXPECT_TRUE(IsHostName("www.example-1.co.jp"));
    EXPECT_TRUE(IsHostName("10.0.0.1"));
    EXPECT_TRUE(IsHostName("300.1.1.1"));
    EXPECT_TRUE(IsHostName(""));
    EXPECT_FALSE(IsHostName("www.Example.com"));
    EXPECT_FALSE(IsHostName("examplE"));
    EXPECT_FALSE(IsHostName("a_b.com"));
    EXPECT_FALSE(IsHostName("a b.com"));
    EXPECT_FALSE(IsHostName("user@example.com"));
    EXPECT_FALSE(IsHostName("\xE6\x97\xA5\xE6\x9C\xAC.jp")); // bytes above 0x7F
}

TEST(IPToStr, FormatsTheOctetsInMemoryOrder) {
    EXPECT_EQ(IPToStr(Addr(192, 168, 0, 1)), "192.168.0.1");
    EXPECT_EQ(IPToStr(0), "0.0.0.0");
    EXPECT_EQ(IPToStr(0xFFFFFFFFu), "255.255.255.255");
    EXPECT_EQ(IPToStr(::inet_addr("10.20.30.40")), "10.20.30.40");
}

TEST(IsAddressQuery, TakesAddressesPrefixesAndAsNumbers) {
    for (const char* text :
         {"192.0.2.1", "2001:db8::1", "2001:db8::/32", "::ffff:192.0.2.1", "2001:db8::/128",
          "AS2515", "as2515", "aS4294967295", "192.0.2.0/24", "192.0.2.0/32", "0.0.0.0/0"})
        EXPECT_TRUE(IsAddressQuery(text)) << text;
    for (const char* text :
         {"2001:db8::/129", "2001:db8::/", "2001:db8::/3x", "2001:db8:::1", "AS", "AS4294967296",
          "AS-2515", "asia.example", "example.jp", "[2001:db8::1]", "192.0.2.0/33", "192.0.2.0/",
          "192.0.2.0/2x", "192.0.2/24", "192.0.2.0/024"})
        EXPECT_FALSE(IsAddressQuery(text)) << text;
}

TEST(WSAErrorText, NamesKnownCodesOnly) {
    EXPECT_EQ(WSAErrorText(10060), "Error WSAETIMEDOUT");
    EXPECT_EQ(WSAErrorText(11001), "Error WSAHOST_NOT_FOUND");
    EXPECT_EQ(WSAErrorText(10101), "Error WSAEDISCON");
    EXPECT_EQ(WSAErrorText(10004), "Error WSAEINTR");
    EXPECT_EQ(WSAErrorText(11004), "Error WSANO_DATA");
    EXPECT_EQ(WSAErrorText(0), "Unknown Error!");
    EXPECT_EQ(WSAErrorText(-1), "Unknown Error!");
    EXPECT_EQ(WSAErrorText(10000), "Unknown Error!");
    EXPECT_EQ(WSAErrorText(10090), "Unknown Error!");
}

TEST(WSAErrorText, TableHasFiftyOneUniqueCodesInTheStandardOrder) {
    std::set<int32_t> codes;
    for (const TWSAERROR& e : WSAErrorTable) {
        codes.insert(e.Code);
        EXPECT_EQ(std::string(e.Name).rfind("WSA", 0), 0u) << e.Code;
    }
    EXPECT_EQ(codes.size(), 51u);
    EXPECT_EQ(WSAErrorTable[0].Code, 10004);
    EXPECT_EQ(WSAErrorTable[42].Code, 10071); // WSAEREMOTE
    EXPECT_EQ(WSAErrorTable[43].Code, 10101); // WSAEDISCON before WSASYSNOTREADY
    EXPECT_EQ(WSAErrorTable[44].Code, 10091);
    EXPECT_EQ(WSAErrorTable[50].Code, 11004);
    // The platform's constants and the table agree.
    EXPECT_EQ(WSAErrorText(winsock::WSAECONNREFUSED), "Error WSAECONNREFUSED");
    EXPECT_EQ(WSAErrorText(winsock::WSAEHOSTUNREACH), "Error WSAEHOSTUNREACH");
    EXPECT_EQ(WSAErrorText(winsock::WSAEMSGSIZE), "Error WSAEMSGSIZE");
    EXPECT_EQ(WSAErrorText(winsock::WSANOTINITIALISED), "Error WSANOTINITIALISED");
}

TEST(ErrnoMapping, ResolverFailuresGiveTheWinSockCodes) {
    const struct {
        int eai, code;
    } rows[] = {{0, 0},
                {EAI_NONAME, 11001},
                {EAI_AGAIN, 11002},
                {EAI_FAIL, 11003},
                {EAI_NODATA, 11004},
                {EAI_ADDRFAMILY, 11004},
                {EAI_FAMILY, 10047},
                {EAI_MEMORY, 10055},
                {EAI_BADFLAGS, 10022}};
    for (const auto& row : rows)
        EXPECT_EQ(winsock::EaiToWinSock(row.eai), row.code) << row.eai;
    if (!testsupport::NetSandboxAvailable())
        return; // the lookup below must stay inside the private hosts file
    addrinfo* list = reinterpret_cast<addrinfo*>(1);
    EXPECT_EQ(winsock::getaddrinfo("nowhere.invalid", nullptr, nullptr, &list),
              winsock::WSAHOST_NOT_FOUND);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(winsock::WSAGetLastError(), winsock::WSAHOST_NOT_FOUND);
}

TEST(ErrnoMapping, GivesTheWinSockCodes) {
    EXPECT_EQ(winsock::ErrnoToWinSock(ECONNREFUSED), 10061);
    EXPECT_EQ(winsock::ErrnoToWinSock(ETIMEDOUT), 10060);
    EXPECT_EQ(winsock::ErrnoToWinSock(EHOSTUNREACH), 10065);
    EXPECT_EQ(winsock::ErrnoToWinSock(ENETUNREACH), 10051);
    EXPECT_EQ(winsock::ErrnoToWinSock(ECONNRESET), 10054);
    EXPECT_EQ(winsock::ErrnoToWinSock(EPIPE), 10054);
    EXPECT_EQ(winsock::ErrnoToWinSock(EINTR), 10004);
    EXPECT_EQ(winsock::ErrnoToWinSock(EAGAIN), 10035);
    EXPECT_EQ(winsock::ErrnoToWinSock(EADDRINUSE), 10048);
    EXPECT_EQ(winsock::ErrnoToWinSock(ENOTSOCK), 10038);
    EXPECT_EQ(winsock::ErrnoToWinSock(ENOSPC), winsock::WSABASEERR);
    EXPECT_EQ(WSAErrorText(winsock::ErrnoToWinSock(ENOSPC)), "Unknown Error!");
    // Every mapped errno lands on a code the table can name.
    for (int e = 1; e < 134; ++e) {
        int code = winsock::ErrnoToWinSock(e);
        if (code != winsock::WSABASEERR) {
            EXPECT_NE(WSAErrorText(code), "Unknown Error!") << "errno " << e;
        }
    }
    EXPECT_EQ(winsock::HErrnoToWinSock(HOST_NOT_FOUND), 11001);
    EXPECT_EQ(winsock::HErrnoToWinSock(TRY_AGAIN), 11002);
    EXPECT_EQ(winsock::HErrnoToWinSock(NO_RECOVERY), 11003);
    EXPECT_EQ(winsock::HErrnoToWinSock(NO_DATA), 11004);
}

TEST(PrepareLookup, KeepsTheNameOrTheParsedAddress) {
    TagHostEnt host;
    host.Found = true;
    host.Aliases = {"old"};
    host.Addresses = {1};
    PrepareLookup("www.example.jp", host);
    EXPECT_FALSE(host.Found);
    EXPECT_EQ(host.Query, "www.example.jp");
    EXPECT_EQ(host.HostName, "www.example.jp");
    EXPECT_EQ(host.Address, 0u);
    EXPECT_TRUE(host.Aliases.empty());
    EXPECT_TRUE(host.Addresses.empty());

    PrepareLookup("10.1.2.3", host);
    EXPECT_EQ(host.HostName, "");
    EXPECT_EQ(host.Address, Addr(10, 1, 2, 3));
    // Passes the dotted-quad test, but the parser rejects it: all ones.
    PrepareLookup("300.1.1.1", host);
    EXPECT_EQ(host.Address, 0xFFFFFFFFu);
}

// A zone names an interface by name or number and is shown again only for a link-local
// address; one that names no interface is no address.
TEST(ParseIPv6Zone, KeepsTheZoneOfALinkLocalAddress) {
    const uint32_t lo = ::if_nametoindex("lo");
    ASSERT_NE(lo, 0u);
    const struct {
        std::string text;
        bool parsed;
        uint32_t scope;
        std::string shown;
    } cases[] = {
        {"fe80::1%lo", true, lo, "fe80::1%lo"},
        {"fe80::1%" + std::to_string(lo), true, lo, "fe80::1%lo"},
        {"febf::1%lo", true, lo, "febf::1%lo"},
        {"fec0::1%lo", true, lo, "fec0::1"},
        {"ff02::1%lo", true, lo, "ff02::1%lo"},
        {"2001:db8::1%lo", true, lo, "2001:db8::1"},
        {"fe80::1", true, 0, "fe80::1"},
        {"fe80::1%", false, 0, ""},
        {"fe80::1%nosuchif0", false, 0, ""},
        {"fe80::1%0", false, 0, ""},
        {"fe80::1%lo%lo", false, 0, ""},
        {"192.0.2.1%lo", false, 0, ""},
    };
    for (const auto& c : cases) {
        TIn6Addr address{};
        uint32_t scope = 99;
        EXPECT_EQ(ParseIPv6Zone(c.text, address, scope), c.parsed) << c.text;
        if (!c.parsed)
            continue;
        EXPECT_EQ(scope, c.scope) << c.text;
        EXPECT_EQ(IP6ToStr(address, scope), c.shown) << c.text;
        TagHostEnt host;
        PrepareLookup(c.text, host);
        EXPECT_EQ(host.Scope6, c.scope) << c.text;
        EXPECT_EQ(HostAddressText(host), c.shown) << c.text;
    }
    EXPECT_EQ(IP6ToStr(TIn6Addr{0xFE, 0x80, 15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 4000000),
              "fe80:f00::1%4000000");
}

TEST(ResolveHost, RejectedDottedTextKeepsAllOnesAndIsNotFound) {
    // Looks 255.255.255.255 up: only inside the private hosts file, never through DNS.
    if (!testsupport::NetSandboxAvailable())
        GTEST_SKIP() << testsupport::NetSandboxReason();
    TagHostEnt host;
    ResolveHost("300.1.1.1", host);
    EXPECT_FALSE(host.Found);
    EXPECT_EQ(host.Query, "300.1.1.1");
    EXPECT_EQ(host.Address, 0xFFFFFFFFu);
    EXPECT_EQ(host.HostName, "");
}

TEST(CheckRequestText, RefusesLongTextsAndControlCharacters) {
    EXPECT_EQ(CheckRequestText(""), 0);
    EXPECT_EQ(CheckRequestText("example.jp"), 0);
    EXPECT_EQ(CheckRequestText(std::string(1024, 'a')), 0);
    EXPECT_EQ(CheckRequestText(std::string(1025, 'a')), 10040);
    EXPECT_EQ(CheckRequestText("EXPN user@example.jp"), 0);
    EXPECT_EQ(CheckRequestText("\xE6\x97\xA5\xE6\x9C\xAC.jp"), 0); // UTF-8 is fine
    EXPECT_EQ(CheckRequestText("a\r\nQUIT"), 10022);
    EXPECT_EQ(CheckRequestText("a\nb"), 10022);
    EXPECT_EQ(CheckRequestText("a\tb"), 10022);
    EXPECT_EQ(CheckRequestText(std::string("a\0b", 3)), 10022);
    EXPECT_EQ(CheckRequestText("a\x1f"), 10022);
    EXPECT_EQ(CheckRequestText("\x1b[0m"), 10022);
    // Too long wins over a control character: the length is looked at first.
    EXPECT_EQ(CheckRequestText(std::string(1100, '\n')), 10040);
}

// A connected pair of stream sockets; the test writes on `peer` and reads on `local`.
struct SocketPair {
    int local = -1, peer = -1;
    SocketPair() {
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        local = fds[0];
        peer = fds[1];
    }
    ~SocketPair() {
        CloseLocal();
        ClosePeer();
    }
    void Write(const std::string& bytes) const {
        ASSERT_EQ(::send(peer, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
    }
    void ClosePeer() {
        if (peer >= 0)
            ::close(peer);
        peer = -1;
    }
    void CloseLocal() {
        if (local >= 0)
            ::close(local);
        local = -1;
    }
};

TEST(WaitReadable, ReportsDataCloseAndTimeOut) {
    SocketPair pair;
    auto start = Clock::now();
    EXPECT_EQ(WaitReadable(pair.local, 0), 0); // half a millisecond, not forever
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(200));
    pair.Write("x");
    EXPECT_EQ(WaitReadable(pair.local, 0), 1);
    EXPECT_EQ(WaitReadable(pair.local, 5), 1);

    SocketPair closed;
    closed.ClosePeer();
    EXPECT_EQ(WaitReadable(closed.local, 5), 1); // the close itself is readable

    int gone = ::dup(pair.local);
    ::close(gone);
    EXPECT_EQ(WaitReadable(gone, 0), -1);
}

TEST(ReadResponse, JoinsChunksUntilThePeerCloses) {
    SocketPair pair;
    std::string answer;
    for (int i = 0; i < 1500; ++i)
        answer += char('a' + i % 26);
    pair.Write(answer);
    pair.ClosePeer();
    std::string text;
    EXPECT_EQ(ReadResponse(pair.local, 5, text), 0);
    EXPECT_EQ(text, answer);
}

TEST(ReadResponse, CloseWithoutAByteIsMinusOne) {
    SocketPair pair;
    pair.ClosePeer();
    std::string text = "stale";
    EXPECT_EQ(ReadResponse(pair.local, 5, text), -1);
    EXPECT_EQ(text, "");
}

TEST(ReadResponse, ZeroByteCutsOnlyItsOwnChunk) {
    SocketPair pair;
    // Two chunks as recv sees them: a full 512-byte one with a zero at 3, then a short one.
    std::string first(512, 'q');
    first.replace(0, 5, std::string("abc\0d", 5));
    pair.Write(first + std::string("ef\0gh", 5));
    pair.ClosePeer();
    std::string text;
    EXPECT_EQ(ReadResponse(pair.local, 5, text), 0);
    EXPECT_EQ(text, "abcef");
}

TEST(ReadResponse, SilenceAfterAPartEndsWithThePart) {
    SocketPair pair;
    pair.Write("partial answer");
    std::string text;
    auto start = Clock::now();
    EXPECT_EQ(ReadResponse(pair.local, 1, text), 0);
    auto waited = Clock::now() - start;
    EXPECT_EQ(text, "partial answer");
    EXPECT_GE(waited, std::chrono::milliseconds(950)); // waits the whole second for more
    EXPECT_LT(waited, std::chrono::milliseconds(3000));
}

TEST(ReadResponse, SilenceBeforeAnyByteIsMinusOne) {
    SocketPair pair;
    std::string text = "stale";
    auto start = Clock::now();
    EXPECT_EQ(ReadResponse(pair.local, 1, text), -1);
    auto waited = Clock::now() - start;
    EXPECT_EQ(text, "");
    EXPECT_GE(waited, std::chrono::milliseconds(950));
    EXPECT_LT(waited, std::chrono::milliseconds(3000));
}

TEST(ReadResponse, ChunkOpeningWithAZeroByteAddsNothingButReadingGoesOn) {
    SocketPair pair;
    pair.Write(std::string("\0lost", 5));
    std::thread later([&pair] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        pair.Write("kept");
        pair.ClosePeer();
    });
    std::string text;
    const int32_t code = ReadResponse(pair.local, 5, text);
    later.join();
    EXPECT_EQ(code, 0);
    EXPECT_EQ(text, "kept");
}

TEST(ReadResponse, OnlyZeroBytesBeforeTheCloseIsMinusOne) {
    SocketPair pair;
    pair.Write(std::string(3, '\0'));
    pair.ClosePeer();
    std::string text;
    EXPECT_EQ(ReadResponse(pair.local, 5, text), -1);
    EXPECT_EQ(text, "");
}

TEST(ReadResponse, StopsAtTheAnswerCap) {
    SocketPair pair;
    // An endless answer: the writer keeps going until the reader's side is closed.
    std::thread writer([fd = pair.peer] {
        std::string block(8192, 'z');
        while (::send(fd, block.data(), block.size(), MSG_NOSIGNAL) > 0) {
        }
    });
    std::string text;
    EXPECT_EQ(ReadResponse(pair.local, 5, text), 0);
    const std::string tail = std::string("\r\n") + AnswerCutNote;
    ASSERT_EQ(text.size(), MaxAnswerBytes + tail.size());
    EXPECT_EQ(text.find_first_not_of('z'), MaxAnswerBytes);
    EXPECT_EQ(text.substr(MaxAnswerBytes), tail) << "one line says the answer was cut";
    pair.CloseLocal();
    writer.join();
}

// Whether the note is added depends only on bytes beyond the limit, and it always stands on
// a line of its own.
TEST(ReadResponse, NotesACutOnlyWhenBytesWereLeftOut) {
    struct Case {
        const char* name;
        size_t size;     // bytes sent before the close
        char last;       // the byte at the limit's end
        bool cut;        // whether the note follows
        const char* gap; // what stands between the kept text and the note
    } cases[] = {
        {"exactly the limit", MaxAnswerBytes, 'z', false, ""},
        {"one byte more", MaxAnswerBytes + 1, 'z', true, "\r\n"},
        {"cut right after a line end", MaxAnswerBytes + 100, '\n', true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SocketPair pair;
        std::string sent(c.size, 'z');
        sent[MaxAnswerBytes - 1] = c.last;
        std::thread writer([&pair, &sent] {
            pair.Write(sent);
            pair.ClosePeer();
        });
        std::string text;
        EXPECT_EQ(ReadResponse(pair.local, 5, text), 0);
        writer.join();
        const std::string kept = sent.substr(0, MaxAnswerBytes);
        if (c.cut)
            EXPECT_TRUE(text == kept + c.gap + AnswerCutNote) << text.substr(MaxAnswerBytes - 4);
        else
            EXPECT_TRUE(text == kept) << "size " << text.size();
    }
}

TEST(ReadResponse, ResetBeforeAnyTextGivesItsCode) {
    // A loopback TCP connection whose server side resets it.
    int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    int server = ::accept(listener, nullptr, nullptr);
    ASSERT_GE(server, 0);
    linger hard{1, 0};
    ASSERT_EQ(::setsockopt(server, SOL_SOCKET, SO_LINGER, &hard, sizeof hard), 0);
    ::close(server);
    std::string text;
    EXPECT_EQ(ReadResponse(client, 5, text), 10054);
    EXPECT_EQ(text, "");
    ::close(client);
    ::close(listener);
}

} // namespace
