#!/bin/sh
# Saves a picture of the WinSock information dialog to docs/winsock-info.png (or the file
# given as $1), as scripts/screenshot.sh does for the main window.
# Usage: scripts/screenshot-winsock.sh [output.png] [build-folder, default build/release]
root=$(cd "$(dirname "$0")/.." && pwd)
exec "$root/scripts/screenshot.sh" "${1:-$root/docs/winsock-info.png}" "${2:-$root/build/release}" \
    --screenshot-winsock
