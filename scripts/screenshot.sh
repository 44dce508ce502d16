#!/bin/sh
# Starts the program under a virtual X server with a fresh settings folder and saves a
# picture of its main window to docs/screenshot.png (or the file given as $1).
# Usage: scripts/screenshot.sh [output.png] [build-folder, default build/release] [option] [lang]
# The option names what the program grabs: --screenshot (the main window, the default) or
# --screenshot-winsock (the WinSock information dialog); lang is ja (the default) or en.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-"$root/docs/screenshot.png"}
build=${2:-"$root/build/release"}
exe="$build/mainview/zindor-whois"
grab=${3:---screenshot}
lang=${4:-ja}

if [ ! -x "$exe" ]; then
    echo "screenshot: $exe not found; build the target zindor-whois first" >&2
    exit 1
fi

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT INT TERM
mkdir -p "$(dirname "$out")"
# The shipped server directory, so the window looks as it does on first start.
for f in Server.wis Servhit.key; do
    [ -f "$root/data/$f" ] && cp "$root/data/$f" "$home/"
done

# The program grabs its own window once it is laid out and then closes itself.
xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24" \
    "$exe" --home "$home" --lang "$lang" "$grab" "$out"

[ -s "$out" ] || { echo "screenshot: no picture written" >&2; exit 1; }
echo "screenshot: $out"
