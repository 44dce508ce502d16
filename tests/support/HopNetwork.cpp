#include "tests/support/HopNetwork.h"
#include "tests/support/DelayLine.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

// This process loses CAP_NET_RAW from its effective set only; the capability stays ambient, so
// a helper program it starts holds it, as a file capability would give it to the helper.
static bool KeepNetRawForHelper(std::string* error) {
    const auto fail = [error](const char* what) {
        if (error)
            *error = std::string(what) + ": " + std::strerror(errno);
        return false;
    };
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    const uint32_t bit = 1u << CAP_NET_RAW;
    if (::syscall(SYS_capget, &header, data) != 0)
        return fail("capget");
    data[0].inheritable |= bit;
    if (::syscall(SYS_capset, &header, data) != 0)
        return fail("capset");
    if (::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_RAISE, CAP_NET_RAW, 0, 0) != 0)
        return fail("PR_CAP_AMBIENT_RAISE");
    data[0].effective &= ~bit;
    if (::syscall(SYS_capset, &header, data) != 0)
        return fail("capset");
    return true;
}

bool DropNetRaw(std::string* error, bool keepForHelper) {
    ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_LOWER, CAP_NET_RAW, 0, 0);
    if (keepForHelper)
        return KeepNetRawForHelper(error);
    if (::prctl(PR_CAPBSET_DROP, CAP_NET_RAW, 0, 0, 0) != 0 && errno != EINVAL) {
        if (error)
            *error = std::string("PR_CAPBSET_DROP: ") + std::strerror(errno);
        return false;
    }
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0) {
        if (error)
            *error = std::string("capget: ") + std::strerror(errno);
        return false;
    }
    const uint32_t bit = 1u << CAP_NET_RAW;
    data[0].effective &= ~bit;
    data[0].permitted &= ~bit;
    data[0].inheritable &= ~bit;
    if (::syscall(SYS_capset, &header, data) != 0) {
        if (error)
            *error = std::string("capset: ") + std::strerror(errno);
        return false;
    }
    return true;
}

int RunShell(const std::string& command, std::string* output) {
    FILE* pipe = ::popen(("exec 2>&1; " + command).c_str(), "r");
    if (!pipe)
        return -1;
    std::string text;
    char buffer[512];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        text.append(buffer, n);
    const int status = ::pclose(pipe);
    if (output)
        *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

HopNetwork::HopNetwork(const HopNetworkOptions& options) : routers_(options.routers) {
    ok_ = Build(options);
}

HopNetwork::~HopNetwork() {
    delay_.reset();
    for (int pid : pids_) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    // The client's own ends of the links go with their peers; a delay line's device goes
    // with its descriptor.
}

// Host `host` (1 left, 2 right) of link k.
static std::string LinkAddress(int k, int host, int family) {
    // IPv6 in its compressed form, as probes report it.
    return family == AF_INET6
               ? (k == 0 ? std::string("2001:db8::") : "2001:db8:" + std::to_string(k) + "::") +
                     std::to_string(host)
               : "198.18." + std::to_string(k) + "." + std::to_string(host);
}

std::string HopNetwork::RouterAddress(int i, int family) {
    return LinkAddress(i - 1, 2, family);
}

std::string HopNetwork::TargetAddress(int family) const {
    return LinkAddress(routers_, 2, family);
}

std::string HopNetwork::UnheldAddress(int family) const {
    return LinkAddress(routers_, 99, family);
}

std::string HopNetwork::RouterName(int i, int family) {
    return "r" + std::to_string(i) + (family == AF_INET6 ? ".hop6.test" : ".hop.test");
}

std::string HopNetwork::Prefix(int node) const {
    return node == 0 ? std::string()
                     : "nsenter -t " + std::to_string(pids_[size_t(node - 1)]) + " -n ";
}

int HopNetwork::RunIn(int node, const std::string& command, std::string* output) const {
    return RunShell(Prefix(node) + command, output);
}

// A child that only holds a new network namespace until it is killed.
bool HopNetwork::StartNamespace() {
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        const char ok = ::unshare(CLONE_NEWNET) == 0 ? '1' : '0';
        (void)!::write(ready[1], &ok, 1);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char ok = '0';
    const bool read = pid > 0 && ::read(ready[0], &ok, 1) == 1;
    ::close(ready[0]);
    if (pid > 0)
        pids_.push_back(pid);
    if (!read || ok != '1') {
        error_ = "a child could not make a network namespace";
        return false;
    }
    return true;
}

bool HopNetwork::OpenDelayLine(const HopNetworkOptions& options, std::string& script) {
    const int a = DelayLine::OpenTun("zwdl0");
    const int b = a < 0 ? -1 : DelayLine::OpenTun("zwdl1");
    if (b < 0) {
        error_ = std::string("TUN device for the delay line: ") + std::strerror(errno);
        if (a >= 0)
            ::close(a);
        return false;
    }
    delay_ = std::make_unique<DelayLine>(a, b, options.oneWayDelay);
    const std::string r1 = Prefix(1);
    script += "ip link set zwdl1 netns " + std::to_string(pids_[0]) + "\n";
    script += "ip addr add 198.18.0.1 peer 198.18.0.2 dev zwdl0\nip link set zwdl0 up\n";
    script += r1 + "ip addr add 198.18.0.2 peer 198.18.0.1 dev zwdl1\n";
    script += r1 + "ip link set zwdl1 up\n";
    // IPv6 over the same line (a TUN device has no neighbour discovery to wait for).
    script += "ip -6 addr add 2001:db8::1/64 dev zwdl0 nodad\n";
    script += r1 + "ip -6 addr add 2001:db8::2/64 dev zwdl1 nodad\n";
    return true;
}

bool HopNetwork::Build(const HopNetworkOptions& options) {
    if (options.routers < 1) {
        error_ = "at least one router";
        return false;
    }
    const int nodes = options.routers + 2;
    for (int i = 1; i < nodes; ++i)
        if (!StartNamespace())
            return false;
    std::string script = "set -e\n";
    for (int node = 0; node < nodes; ++node) {
        const std::string in = Prefix(node);
        script += in + "ip link set lo up\n";
        // Rate-limited time-exceeded messages would make the tests flaky.
        script += in + "sysctl -qw net.ipv4.icmp_ratelimit=0\n";
        script += in + "sysctl -qw net.ipv6.icmp.ratelimit=0\n";
        // No duplicate address detection on the links to come, not even for their link-local
        // addresses, which neighbour discovery needs at once.
        script += in + "sysctl -qw net.ipv6.conf.default.accept_dad=0\n";
        script += in + "sysctl -qw net.ipv6.conf.all.accept_dad=0\n";
        if (node > 0 && node <= options.routers) {
            script += in + "sysctl -qw net.ipv4.ip_forward=1\n";
            // "default" for the links that come after this.
            script += in + "sysctl -qw net.ipv6.conf.all.forwarding=1\n";
            script += in + "sysctl -qw net.ipv6.conf.default.forwarding=1\n";
        }
    }
    for (int k = 0; k < nodes - 1; ++k) {
        const std::string net = "198.18." + std::to_string(k) + ".";
        if (k == 0 && options.oneWayDelay.count() > 0) {
            if (!OpenDelayLine(options, script))
                return false;
            continue;
        }
        const std::string left = "zwl" + std::to_string(k), right = "zwr" + std::to_string(k);
        script += "ip link add " + left +
                  (k > 0 ? " netns " + std::to_string(pids_[size_t(k - 1)]) : "") +
                  " type veth peer name " + right + " netns " + std::to_string(pids_[size_t(k)]) +
                  "\n";
        script += Prefix(k) + "ip addr add " + net + "1/24 dev " + left + "\n";
        script += Prefix(k) + "ip link set " + left + " up\n";
        script += Prefix(k + 1) + "ip addr add " + net + "2/24 dev " + right + "\n";
        script += Prefix(k + 1) + "ip link set " + right + " up\n";
        // No duplicate address detection: the addresses are usable at once.
        script += Prefix(k) + "ip -6 addr add " + LinkAddress(k, 1, AF_INET6) + "/64 dev " + left +
                  " nodad\n";
        script += Prefix(k + 1) + "ip -6 addr add " + LinkAddress(k, 2, AF_INET6) + "/64 dev " +
                  right + " nodad\n";
    }
    // Towards the target through each right neighbour; back to the client's link through
    // each left neighbour.
    for (int family : {AF_INET, AF_INET6}) {
        const bool v6 = family == AF_INET6;
        const std::string route = v6 ? "ip -6 route add " : "ip route add ";
        const std::string all = v6 ? "2001:db8::/32" : "198.18.0.0/15";
        const std::string client = v6 ? "2001:db8::/64" : "198.18.0.0/24";
        script += route + all + " via " + LinkAddress(0, 2, family) + "\n";
        for (int node = 1; node < nodes; ++node) {
            const std::string in = Prefix(node) + route;
            if (node < nodes - 1)
                script += in + all + " via " + LinkAddress(node, 2, family) + "\n";
            if (node > 1)
                script += in + client + " via " + LinkAddress(node - 1, 1, family) + "\n";
            if (node == nodes - 1 && node > 1)
                script += in + all + " via " + LinkAddress(node - 1, 1, family) + "\n";
        }
    }
    for (int silent : options.silentRouters) {
        if (silent < 1 || silent > options.routers)
            continue;
        // What the router itself sends goes nowhere; what it forwards is untouched.
        const std::string in = Prefix(silent);
        script += in + "ip route add blackhole default table 100\n";
        script += in + "ip rule add iif lo table 100 priority 100\n";
        script += in + "ip -6 route add blackhole default table 100\n";
        script += in + "ip -6 rule add iif lo table 100 priority 100\n";
    }
    if (options.targetIgnoresEchoes)
        script += Prefix(nodes - 1) + "sysctl -qw net.ipv4.icmp_echo_ignore_all=1\n" +
                  Prefix(nodes - 1) + "sysctl -qw net.ipv6.icmp.echo_ignore_all=1\n";
    std::string output;
    if (RunShell(script, &output) != 0) {
        error_ = "building the hop network failed: " + output;
        return false;
    }
    // Names both ways through the private hosts file.
    std::string hosts;
    for (int family : {AF_INET, AF_INET6}) {
        for (int i = 1; i <= options.routers; ++i)
            hosts += RouterAddress(i, family) + "\t" + RouterName(i, family) + "\n";
        hosts += TargetAddress(family) + "\t" + TargetName(family) + "\n";
    }
    const int fd = ::open("/etc/hosts", O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0 || ::write(fd, hosts.data(), hosts.size()) != ssize_t(hosts.size())) {
        error_ = std::string("appending to the private hosts file: ") + std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    ::close(fd);
    return true;
}

} // namespace testsupport
