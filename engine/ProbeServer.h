#pragma once

// The serving loop of zindor-probe: requests in, replies out, over raw sockets it was handed.
// Anyone may run the helper, so it serves only echo probes, at most a trace's worth in flight
// and at most a trace's rate, each to one unicast target of the request's choosing.
#include "engine/IcmpSocket.h"

#include <chrono>
#include <cstdint>

namespace probeserver {

struct Limits {
    int inFlight = 16;     // a trace's window
    int burst = 64;        // probes sent back to back at most
    int perSecond = 1000;  // sustained rate once the burst is spent
    uint32_t total = 4096; // probes in one run of the helper
};

// Serves until `in` ends (the probing program is gone: the helper ends at once). `v4` and
// `v6` are raw sockets, or closed (Handle invalid) where none could be had; requests of that
// family are refused. Returns 0, or 1 when a read or write failed.
int Serve(int in, int out, const IcmpSocket& v4, const IcmpSocket& v6, const Limits& limits = {});

} // namespace probeserver
