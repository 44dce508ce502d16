#pragma once

namespace platform {

// Gives up every capability this process was started with (a file capability set on its
// executable by hand) unless it runs as root. Neither program needs one: the probe helper
// holds CAP_NET_RAW for them, and the window loads plugins its user's environment names.
// Call first thing in main, before any thread exists. Returns whether any was held.
bool DropStartCapabilities();

} // namespace platform
