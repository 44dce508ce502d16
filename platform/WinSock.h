#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

// WinSock 1.1 shaped calls over POSIX sockets. Differences from the POSIX calls of the same
// names: failures are reported through the per-thread WSAGetLastError as WinSock codes, the
// lookups copy their answer (safe on any thread), and every blocking call (connect, send, recv,
// select) ends at once with WSAEINTR when the calling worker is cancelled (see
// platform/Cancel.h), the way WSACancelBlockingCall ended a blocking call.
namespace winsock {

using SOCKET = int;
constexpr SOCKET INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;

constexpr int WSABASEERR = 10000;
constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEACCES = 10013;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAEALREADY = 10037;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEDESTADDRREQ = 10039;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAEPROTOTYPE = 10041;
constexpr int WSAENOPROTOOPT = 10042;
constexpr int WSAEPROTONOSUPPORT = 10043;
constexpr int WSAESOCKTNOSUPPORT = 10044;
constexpr int WSAEOPNOTSUPP = 10045;
constexpr int WSAEPFNOSUPPORT = 10046;
constexpr int WSAEAFNOSUPPORT = 10047;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETDOWN = 10050;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAENETRESET = 10052;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAEISCONN = 10056;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAESHUTDOWN = 10058;
constexpr int WSAETOOMANYREFS = 10059;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAELOOP = 10062;
constexpr int WSAENAMETOOLONG = 10063;
constexpr int WSAEHOSTDOWN = 10064;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSAENOTEMPTY = 10066;
constexpr int WSAEPROCLIM = 10067;
constexpr int WSAEUSERS = 10068;
constexpr int WSAEDQUOT = 10069;
constexpr int WSAESTALE = 10070;
constexpr int WSAEREMOTE = 10071;
constexpr int WSASYSNOTREADY = 10091;
constexpr int WSAVERNOTSUPPORTED = 10092;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAEDISCON = 10101;
constexpr int WSATYPE_NOT_FOUND = 10109;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;
constexpr int WSANO_RECOVERY = 11003;
constexpr int WSANO_DATA = 11004;

// WinSock's option values where they differ from Linux's (IP_TTL is 7 in WinSock 1.1,
// IPV6_UNICAST_HOPS 4 in WinSock 2.2).
constexpr int WS_IPPROTO_IP = 0;
constexpr int WS_IP_TTL = 7;
constexpr int WS_IPPROTO_IPV6 = 41;
constexpr int WS_IPV6_UNICAST_HOPS = 4;

// Shut-down directions.
constexpr int SD_RECEIVE = 0, SD_SEND = 1, SD_BOTH = 2;

constexpr uint16_t MakeWord(uint8_t low, uint8_t high) {
    return uint16_t(low | (high << 8));
}

constexpr int WSADESCRIPTION_LEN = 256;
constexpr int WSASYS_STATUS_LEN = 128;

struct WSADATA {
    uint16_t wVersion = 0;     // the version the caller will use (low byte major)
    uint16_t wHighVersion = 0; // the highest version this layer supports
    char szDescription[WSADESCRIPTION_LEN + 1] = {};
    char szSystemStatus[WSASYS_STATUS_LEN + 1] = {};
    uint16_t iMaxSockets = 0; // descriptors this process may open (capped to 16 bits)
    uint16_t iMaxUdpDg = 0;   // largest UDP payload over IPv4
    char* lpVendorInfo = nullptr;
};

// Returns 0 or a WinSock code (it does not set WSAGetLastError, as in WinSock).
int WSAStartup(uint16_t versionRequested, WSADATA* data);
// Returns 0, or SOCKET_ERROR with WSANOTINITIALISED when there was no matching start-up.
int WSACleanup();
// Start-ups not yet matched by a clean-up, process-wide.
int StartupCount();
// Test hook: a non-zero code makes every following WSAStartup fail with it; 0 restores.
void InjectStartupFailure(int code);

int WSAGetLastError();
void WSASetLastError(int code);
// The WinSock code for a POSIX errno value (WSABASEERR for one without a counterpart).
int ErrnoToWinSock(int errnoValue);
// The WinSock code for a resolver h_errno value.
int HErrnoToWinSock(int herrnoValue);

// An IPv6 address, its 16 bytes in network order.
using In6Bytes = std::array<uint8_t, 16>;

// A copied host entry; addresses in network byte order, IPv4 and IPv6 apart.
struct HostEntry {
    std::string name;
    std::vector<std::string> aliases;
    std::vector<uint32_t> addresses;
    std::vector<In6Bytes> addresses6;
};
// Thread-safe lookups; on failure they return nothing and set WSAGetLastError (11001 for a
// name that does not resolve).
std::optional<HostEntry> gethostbyname(const std::string& name);
std::optional<HostEntry> gethostbyaddr(const void* address, int length, int family);

// WinSock 2.2's protocol-independent name lookup (an IPv6 address's name comes from
// gethostbyaddr with AF_INET6, which gives aliases too). getaddrinfo returns 0 or the WinSock code
// of its failure (11001 for a name that does not resolve, 11004 for one without an address of the
// asked family) and sets WSAGetLastError to it; the list it gives goes to freeaddrinfo.
int getaddrinfo(const char* node, const char* service, const addrinfo* hints, addrinfo** result);
void freeaddrinfo(addrinfo* info);
// The WinSock code for a getaddrinfo EAI_ value.
int EaiToWinSock(int eaiValue);

// Socket addresses are the POSIX ones (sockaddr_in has WinSock's layout); htons is POSIX's.

// The dotted text as an address in network byte order; 0xFFFFFFFF for a text it rejects.
uint32_t inet_addr(const char* text);
SOCKET socket(int family, int type, int protocol);
// Gives up after ConnectTimeout() with WSAETIMEDOUT, as WinSock's connect did after its SYN
// retries (about 21 seconds), where Linux's own retries would go on for about two minutes.
int connect(SOCKET s, const sockaddr* name, int length);
// The same with its own bound, for a caller that shares one time-out among several addresses.
int connect(SOCKET s, const sockaddr* name, int length, std::chrono::milliseconds timeout);
constexpr std::chrono::milliseconds kDefaultConnectTimeout{21000};
std::chrono::milliseconds ConnectTimeout();
// Process-wide; tests shorten it. A value of 0 or less restores the default.
void SetConnectTimeout(std::chrono::milliseconds timeout);
// Sends the whole buffer (like a blocking WinSock send); returns the count or SOCKET_ERROR.
int send(SOCKET s, const char* buffer, int length, int flags);
int recv(SOCKET s, char* buffer, int length, int flags);
int sendto(SOCKET s, const char* buffer, int length, int flags, const sockaddr* to, int toLength);
int recvfrom(SOCKET s, char* buffer, int length, int flags, sockaddr* from, int* fromLength);
int shutdown(SOCKET s, int how);
int closesocket(SOCKET s);
int setsockopt(SOCKET s, int level, int option, const char* value, int length);

// WinSock's fd_set: a counted array of sockets, so no descriptor number can overflow it.
constexpr unsigned WS_FD_SETSIZE = 64;
struct fd_set {
    unsigned fd_count = 0;
    SOCKET fd_array[WS_FD_SETSIZE] = {};
};
void FdZero(fd_set* set);
void FdSet(SOCKET s, fd_set* set);
bool FdIsSet(SOCKET s, const fd_set* set);
// `nfds` is ignored, as in WinSock. The sets are reduced to the ready sockets. A null timeout
// waits without limit. Returns the count of ready sockets, 0 on time-out, SOCKET_ERROR.
int select(int nfds, fd_set* readSet, fd_set* writeSet, fd_set* errorSet, const timeval* timeout);

// Milliseconds from a steady clock (wraps like GetTickCount).
uint32_t GetTickCount();

} // namespace winsock
