#include "tests/support/NetSandbox.h"
#include "tests/support/Scratch.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <netdb.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace testsupport {

namespace {

bool g_available = false;
std::string g_reason = "the network sandbox was not entered";

std::string ErrnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool WriteFile(const std::string& path, const std::string& text, std::string& error) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = ErrnoText("open " + path);
        return false;
    }
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = ErrnoText("write " + path);
            ::close(fd);
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    ::close(fd);
    return true;
}

// In a fresh user namespace nothing is mapped; map our own ids to root so that the mount
// and interface calls below are allowed. setgroups must be denied before gid_map is written.
bool MapIdsToRoot(uid_t uid, gid_t gid, std::string& error) {
    std::string ignored;
    WriteFile("/proc/self/setgroups", "deny", ignored); // absent on old kernels
    if (!WriteFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1", error))
        return false;
    return WriteFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1", error);
}

bool Unshare(std::string& error) {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    // Root keeps its real identity when it may (files of other users stay readable); an
    // ordinary user, or a root without the capability, goes through a user namespace.
    if (uid == 0 && ::unshare(CLONE_NEWNET | CLONE_NEWNS) == 0)
        return true;
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNET | CLONE_NEWNS) != 0) {
        error = ErrnoText("unshare(user, net, mount)");
        if (errno == EINVAL)
            error += " (the process already runs threads: enter the sandbox first in main)";
        return false;
    }
    return MapIdsToRoot(uid, gid, error);
}

bool LoopbackUp(std::string& error) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = ErrnoText("socket");
        return false;
    }
    ifreq req{};
    std::strncpy(req.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = ::ioctl(fd, SIOCGIFFLAGS, &req) == 0;
    if (ok) {
        req.ifr_flags = static_cast<short>(req.ifr_flags | IFF_UP | IFF_RUNNING);
        ok = ::ioctl(fd, SIOCSIFFLAGS, &req) == 0;
    }
    if (!ok)
        error = ErrnoText("bringing loopback up");
    ::close(fd);
    return ok;
}

std::string HostsText() {
    using namespace sandbox;
    std::string t;
    auto line = [&t](const char* addr, const std::string& names) {
        t += std::string(addr) + "\t" + names + "\n";
    };
    line("127.0.0.1", "localhost");
    line(kWhoisAAddr, std::string(kWhoisA) + " whois-a.test");
    line(kWhoisBAddr, kWhoisB);
    line(kSmtpAAddr, kSmtpA);
    line(kMultiAddr1, std::string(kMulti) + " " + kMultiAlias1 + " " + kMultiAlias2);
    line(kMultiAddr2, kMulti);
    line(kBlackHoleAddr, kBlackHole);
    line(kRefusedAddr, kRefused);
    line(kWhoisCAddr, kWhoisC);
    line(kWhoisDAddr, kWhoisD);
    line(kWhois6Addr, kWhois6);
    line(kV6OnlyAddr, kV6Only);
    line(kDualAddr4, kDual);
    line(kDualAddr6, kDual);
    line(kLinkLocalAddr, kLinkLocal);
    return t;
}

// Lays a private file over a system one.
bool OverlayFile(const std::string& dir, const char* name, const std::string& text,
                 const char* target, std::string& error) {
    const std::string source = dir + "/" + name;
    if (!WriteFile(source, text, error))
        return false;
    if (::mount(source.c_str(), target, nullptr, MS_BIND, nullptr) != 0) {
        error = ErrnoText(std::string("bind-mounting over ") + target);
        return false;
    }
    return true;
}

bool InstallNameFiles(std::string& error) {
    std::string dir;
    if (!MakeScratch(dir, error))
        return false;
    bool ok = OverlayFile(dir, "hosts", HostsText(), "/etc/hosts", error) &&
              OverlayFile(dir, "nsswitch.conf", "hosts: files\n", "/etc/nsswitch.conf", error);
    // host.conf decides whether a name on several lines gives all its addresses.
    struct stat st {};
    if (ok && ::stat("/etc/host.conf", &st) == 0)
        ok = OverlayFile(dir, "host.conf", "multi on\n", "/etc/host.conf", error);
    DropScratch(dir);
    return ok;
}

// Proves that lookups go to the private hosts file before any test relies on it.
bool CheckNames(std::string& error) {
    hostent entry{};
    hostent* result = nullptr;
    char buffer[4096];
    int herr = 0;
    if (::gethostbyname_r(sandbox::kWhoisA, &entry, buffer, sizeof buffer, &result, &herr) != 0 ||
        !result || result->h_length != 4 ||
        std::memcmp(result->h_addr_list[0], "\x7f\x00\x00\x02", 4) != 0) {
        error = "the private hosts file does not answer name lookups";
        return false;
    }
    result = nullptr;
    ::gethostbyname_r(sandbox::kUnknown, &entry, buffer, sizeof buffer, &result, &herr);
    if (result) {
        error = "an unknown name still resolves inside the sandbox";
        return false;
    }
    return true;
}

} // namespace

bool EnterNetSandbox(std::string* reason) {
#ifdef ZW_PROBE_HELPER_PATH
    // The probes of a test program without ICMP sockets of its own go through the helper of
    // this build; a test that wants none sets the variable empty.
    ::setenv("ZW_PROBE_HELPER", ZW_PROBE_HELPER_PATH, 0);
#endif
    std::string error;
    bool ok = Unshare(error);
    if (ok && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        error = ErrnoText("making / private");
        ok = false;
    }
    ok = ok && LoopbackUp(error) && InstallNameFiles(error) && CheckNames(error);
    g_available = ok;
    g_reason = ok ? std::string() : "network sandbox unavailable: " + error;
    if (reason)
        *reason = g_reason;
    return ok;
}

bool NetSandboxAvailable() {
    return g_available;
}
const std::string& NetSandboxReason() {
    return g_reason;
}

uint32_t Ipv4(const char* dotted) {
    in_addr a{};
    if (::inet_pton(AF_INET, dotted, &a) != 1)
        std::abort();
    return a.s_addr;
}

} // namespace testsupport
