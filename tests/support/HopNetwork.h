#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <sys/socket.h>

// A chain of network namespaces for probe tests and benchmarks: this process's namespace is
// the client, then `routers` routers with forwarding on, then the target. Link k joins node k
// and node k + 1 (node 0 the client) with the subnet 198.18.k.0/24, .1 on the left and .2 on
// the right, and beside it 2001:db8:k::/64, ::1 and ::2; the addresses exist only inside these
// namespaces, which vanish with the object. Accessors take the family (AF_INET or AF_INET6).
// Needs the network sandbox (tests/support/NetSandbox.h) and the iproute2 and util-linux
// tools.
namespace testsupport {

// Eight ping targets of a network of one router whose target ignores echoes: loopback and the
// router of each family answer; the target and an unused address behind the router, of each
// family, stay silent. For runs of many pings at once, each of which must take only its own.
struct PingTarget {
    const char* address;
    bool live;
};
inline constexpr PingTarget kEightPingTargets[] = {{"127.0.0.2", true},
                                                   {"198.18.0.2", true},
                                                   {"198.18.1.2", false},
                                                   {"198.18.1.99", false},
                                                   {"::1", true},
                                                   {"2001:db8::2", true},
                                                   {"2001:db8:1::2", false},
                                                   {"2001:db8:1::99", false}};

struct HopNetworkOptions {
    int routers = 2;
    // Routers (1-based) whose own ICMP messages are dropped, so their hops time out.
    std::vector<int> silentRouters;
    bool targetIgnoresEchoes = false;
    // Added to each direction of the client's link by a user-space delay line (the kernel
    // here has no netem); zero keeps a plain veth link.
    std::chrono::microseconds oneWayDelay{0};
};

class DelayLine;

class HopNetwork {
public:
    explicit HopNetwork(const HopNetworkOptions& options);
    ~HopNetwork();
    HopNetwork(const HopNetwork&) = delete;
    HopNetwork& operator=(const HopNetwork&) = delete;

    bool Ok() const { return ok_; }
    const std::string& Error() const { return error_; }

    // Router i's address towards the client (the source of its time-exceeded messages).
    static std::string RouterAddress(int i, int family = AF_INET);
    std::string TargetAddress(int family = AF_INET) const;
    // An address on the target's link that no host holds: the last router cannot deliver.
    std::string UnheldAddress(int family = AF_INET) const;
    static std::string ClientAddress() { return "198.18.0.1"; }
    // Names the private hosts file gives them ("r1.hop.test", ..., "target.hop.test"; for
    // IPv6 "r1.hop6.test", ... with only IPv6 lines), both ways; written into the hosts file
    // by the constructor.
    static std::string RouterName(int i, int family = AF_INET);
    static std::string TargetName(int family = AF_INET) {
        return family == AF_INET6 ? "target.hop6.test" : "target.hop.test";
    }

    // Runs a command inside node `node`'s namespace (0 the client, routers + 1 the target);
    // its output comes back in `output`. Returns the exit status.
    int RunIn(int node, const std::string& command, std::string* output = nullptr) const;

private:
    bool Build(const HopNetworkOptions& options);
    bool StartNamespace();
    bool OpenDelayLine(const HopNetworkOptions& options, std::string& script);
    std::string Prefix(int node) const;

    int routers_ = 0;
    std::vector<int> pids_; // holders of the namespaces, node 1 onwards
    std::unique_ptr<DelayLine> delay_;
    bool ok_ = false;
    std::string error_;
};

// Takes CAP_NET_RAW away from this process and everything it starts (bounding, effective,
// permitted, inheritable and ambient sets), so raw sockets are refused as for an ordinary
// user. Call before any thread exists: capabilities belong to threads. With `keepForHelper`
// only the effective set loses it and it stays ambient, so the probe helper this process
// starts holds it as its file capability would give it.
bool DropNetRaw(std::string* error, bool keepForHelper = false);

// Runs a shell command; returns its exit status and collects its output (stdout and stderr).
int RunShell(const std::string& command, std::string* output = nullptr);

} // namespace testsupport
