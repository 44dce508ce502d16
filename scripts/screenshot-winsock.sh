#!/bin/sh
# Starts the program under a virtual X server and saves a picture of its WinSock information
# dialog to docs/winsock-info.png (or the file given as $1).
# Usage: scripts/screenshot-winsock.sh [output.png] [build-folder, default build/release]
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-"$root/docs/winsock-info.png"}
build=${2:-"$root/build/release"}
exe="$build/mainview/zindor-whois"

if [ ! -x "$exe" ]; then
    echo "screenshot: $exe not found; build the target zindor-whois first" >&2
    exit 1
fi

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT INT TERM
mkdir -p "$(dirname "$out")"
xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24" \
    "$exe" --home "$home" --screenshot-winsock "$out"

[ -s "$out" ] || { echo "screenshot: no picture written" >&2; exit 1; }
echo "screenshot: $out"
