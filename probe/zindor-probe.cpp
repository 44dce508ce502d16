// zindor-probe: the one executable that holds CAP_NET_RAW. It opens its raw ICMP sockets,
// gives up every capability, and then serves echo probes over its standard input and output
// (see engine/ProbeProtocol.h). The window and zwhois start it only where neither raw nor
// unprivileged datagram ICMP sockets are theirs; anyone may start it by hand.
#include "engine/IcmpSocket.h"
#include "engine/ProbeProtocol.h"
#include "engine/ProbeServer.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Standard input and output are the protocol, standard error stays for a last word: each must
// be open before any socket is, or a socket could take its number.
bool StandardDescriptorsOpen() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0)
            continue;
        const int opened = ::open("/dev/null", O_RDWR);
        if (opened != fd)
            return false;
    }
    return true;
}

// Every capability goes: effective, permitted, inheritable and ambient, so nothing that runs
// here later can raise one again; no exec can gain one back either.
bool DropCapabilities() {
    ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capset, &header, data) != 0)
        return false;
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return false;
    // Checked rather than trusted.
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    for (const auto& set : data)
        if (set.effective || set.permitted || set.inheritable)
            return false;
    return true;
}

} // namespace

int main(int argc, char**) {
    if (argc > 1) {
        std::fputs("usage: zindor-probe (requests on standard input; see zwhois(1))\n", stderr);
        return 2;
    }
    if (!StandardDescriptorsOpen())
        return 1;
    // Nothing inherited but the three: the sockets opened below are the only others.
    ::syscall(SYS_close_range, 3u, ~0u, 0u);
    // Never dumpable or traceable by the user who started it: its raw sockets must not be
    // taken out of it.
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    std::signal(SIGPIPE, SIG_IGN);
    IcmpSocket v4, v6;
    const bool have4 = OpenRawIcmpSocket(v4, AF_INET);
    const bool have6 = OpenRawIcmpSocket(v6, AF_INET6);
    if (!DropCapabilities()) {
        std::fputs("zindor-probe: cannot give up its capabilities\n", stderr);
        return 1;
    }
    // The program that started it is gone, or goes: so does the helper.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0);
    const std::string ready = probeline::FormatReady(have4, have6) + "\n";
    if (::write(1, ready.data(), ready.size()) != ssize_t(ready.size()))
        return 1;
    return probeserver::Serve(0, 1, v4, v6);
}
