#!/usr/bin/env bash
# Builds Zindor Whois and starts it. Extra arguments go to the program (e.g. --home DIR).
# Without a display it starts on a virtual one (Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
# The same folder as the test command, which turns tests and benchmarks back on: only the
# programs are built here, so the switch costs nothing either way.
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZW_TESTS=OFF -DZW_BENCH=OFF > /dev/null
cmake --build build/release --target zindor-whois zwhois -j"$(nproc)"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a build/release/mainview/zindor-whois "$@"
fi
exec build/release/mainview/zindor-whois "$@"
