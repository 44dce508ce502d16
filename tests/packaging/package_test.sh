#!/bin/sh
# The installed program as a new user meets it, and the Debian package that carries it.
# Usage: package_test.sh BUILD_DIR SOURCE_DIR
# Every check fails the test; without lintian the test is skipped (77) once the rest passed.
set -eu
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$1" --prefix "$tmp/usr" >/dev/null
export HOME="$tmp/home" QT_QPA_PLATFORM=offscreen
unset XDG_CONFIG_HOME
conf="$HOME/.config/zindor-whois"
[ ! -e "$tmp/usr/bin/Server.wis" ] || fail "data installed beside the executables"
# The shipped directory's first server for .jp; the empty network namespace keeps it home.
unshare -rn "$tmp/usr/bin/zwhois" --verbose example.jp 2>&1 | grep -q "^whois -h whois.jprs.jp " ||
    fail "installed zwhois did not read the shipped Server.wis"
"$tmp/usr/bin/zindor-whois" --screenshot "$tmp/first.png" >/dev/null 2>&1
cmp "$2/data/Server.wis" "$conf/Server.wis" || fail "Server.wis not copied"
cmp "$2/data/Servhit.key" "$conf/Servhit.key" || fail "Servhit.key not copied"
echo "whois.example.test,-,test" >"$conf/Server.wis"
"$tmp/usr/bin/zindor-whois" --screenshot "$tmp/second.png" >/dev/null 2>&1
grep -qx "whois.example.test,-,test" "$conf/Server.wis" || fail "the user's Server.wis overwritten"
# A home that cannot be made, even by root (under a plain file): SIGTERM still ends the window
# (status 124: timeout's TERM, not its KILL) and the failed saves are told on stderr.
: >"$tmp/plain" && h="$tmp/plain/home/.config/zindor-whois"
HOME="$tmp/plain/home" timeout -k 30 5 "$tmp/usr/bin/zindor-whois" 2>"$tmp/err" || [ $? -eq 124 ] ||
    fail "no end on SIGTERM"
grep -qx "zindor-whois: Cannot create file $h/zindor-whois.ini" "$tmp/err" || fail "$(cat "$tmp/err")"

cpack -G DEB --config "$1/CPackConfig.cmake" -B "$tmp/pkg" >"$tmp/log" 2>&1 || { cat "$tmp/log"; fail cpack; }
deb=$(ls "$tmp"/pkg/zindor-whois_*_*.deb)
dpkg-deb -c "$deb" | grep -Eo '\./usr/(bin/zindor-whois|bin/zwhois|share/man/man1/zwhois\.1\.gz)$' |
    wc -l | grep -qx 3 || fail "executables or man page missing"
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "dependencies not read from the binaries"
for lib in libcurl4 libidn2-0 libpsl5; do
  dpkg-deb -f "$deb" Depends | grep -qw "$lib" || fail "$lib, opened at run time, not a dependency"
done
dpkg-deb -f "$deb" Recommends | grep -q "libqt6svg6, fonts-noto-cjk" || fail "recommends"
dpkg-deb -e "$deb" "$tmp/control"
grep -q "cap_net_raw+ep" "$tmp/control/postinst" || fail "postinst without setcap"
dpkg-deb -x "$deb" "$tmp/root"
diff -r "$tmp/usr/share" "$tmp/root/usr/share" || fail "package and installed tree differ"
! command -v appstreamcli >/dev/null ||
    appstreamcli validate --no-net "$tmp"/root/usr/share/metainfo/*.xml || fail "metainfo invalid"
command -v lintian >/dev/null || { echo "lintian not installed: the package is not linted"; exit 77; }
lintian --fail-on error,warning "$deb" || fail "lintian found errors or warnings"
