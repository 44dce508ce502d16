#pragma once

// The probing side of zindor-probe: starts the helper for one socket's life, sends it each
// probe as a request line and settles the probes from its reply lines. The helper measures
// the round trip against the kernel's arrival stamp, as a socket of our own would.
#include "engine/IcmpFlight.h"
#include "engine/ProbeProtocol.h"

#include <memory>
#include <string>
#include <vector>

#include <sys/types.h>

class ProbeHelper {
public:
    // Starts the helper and waits for its greeting; null when there is no helper, it holds no
    // raw socket of `family`, or the start was stopped (`error` then WSAEINTR, else
    // WSAEACCES).
    static std::shared_ptr<ProbeHelper> Start(int family, int& error);
    // Ends the helper at once.
    ~ProbeHelper();
    ProbeHelper(const ProbeHelper&) = delete;
    ProbeHelper& operator=(const ProbeHelper&) = delete;

    // Sends the probe (to probe.to) and waits until the helper says it went out; its wait
    // starts then. False with WSAGetLastError set.
    bool Send(icmpflight::Probe& probe, int ttl, icmpflight::Clock::duration wait);
    // As icmpflight::Await, over the helper's replies.
    icmpflight::Awaited Await(const std::vector<icmpflight::Probe*>& probes,
                              icmpflight::Clock::time_point until,
                              icmpflight::Clock::time_point* readFrom);

    pid_t Pid() const { return pid_; }
    // The helper's executable: ZW_PROBE_HELPER when set (empty: none), else zindor-probe
    // beside this program or in ../libexec/zindor-whois/.
    static std::string Path();

private:
    ProbeHelper(pid_t pid, int fd) : pid_(pid), fd_(fd) {}
    // Reads what the helper wrote, up to `until`; complete replies go to `replies_`. False
    // with WSAGetLastError set when stopped (WSAEINTR) or the helper is gone (WSAENETDOWN).
    bool Read(icmpflight::Clock::time_point until, icmpflight::Clock::time_point* readFrom);
    // Settles the probes the queued replies answer; true when one was.
    bool Apply(const std::vector<icmpflight::Probe*>& probes);

    pid_t pid_;
    int fd_;
    uint32_t nextToken_ = 0;
    bool greeted_ = false; // until then the first line is the greeting
    std::string buffer_;
    std::vector<probeline::Reply> replies_;
};
