#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
# Usage: scripts/deps.sh run|test
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config qt6-base-dev libgl-dev fonts-ipafont-gothic)
packages+=(libidn2-dev) # IDNA of WHOIS queries
packages+=(libpsl-dev publicsuffix) # no parent retry to a public suffix
packages+=(qt6-tools-dev qt6-l10n-tools) # the window's English translation (lrelease)
packages+=(qt6-translations-l10n) # Qt's own buttons and dialogs in the Japanese window
packages+=(libcurl4-openssl-dev nlohmann-json3-dev ca-certificates) # RDAP over HTTPS
case "${1:-run}" in
  run)  packages+=(xvfb xauth) ;;
  test) packages+=(libgtest-dev libgmock-dev libbenchmark-dev whois iputils-ping traceroute
                 iproute2 procps openssl
                 dpkg-dev fakeroot lintian appstream libcap2-bin) ;; # the Debian package's test
  *) echo "usage: $0 run|test" >&2; exit 2 ;;
esac
# The program's scalable icon; the minimised start's tests need an X server and a tray host.
packages+=(libqt6svg6)
case "${1:-run}" in
  test) packages+=(xvfb xauth trayer) ;;
esac
# The fuzz targets of the test command are built with clang and its sanitizer runtimes.
if [ "${1:-run}" = test ]; then
  packages+=(clang-14 libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  # A system installed with a root password has no sudo: say what to run as root instead.
  if ! command -v sudo >/dev/null 2>&1; then
    echo "These Debian packages are missing, and sudo is not installed to install them." >&2
    echo "Run this one line as root (su -), then run this command again:" >&2
    echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
