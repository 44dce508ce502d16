#!/bin/sh
# The installed program as a new user meets it, and the Debian package that carries it.
# Usage: package_test.sh BUILD_DIR SOURCE_DIR
# Every check ends the test with a failure; a missing lintian ends it as skipped (77) once
# everything else has passed.
set -eu
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$1" --prefix "$tmp/usr" >/dev/null || fail "cmake --install"
export HOME="$tmp/home" QT_QPA_PLATFORM=offscreen
unset XDG_CONFIG_HOME
conf="$HOME/.config/zindor-whois"
[ ! -e "$tmp/usr/bin/Server.wis" ] || fail "data installed beside the executables"
# The shipped directory's first server for .jp; the empty network namespace keeps it home.
unshare -rn "$tmp/usr/bin/zwhois" --verbose example.jp 2>&1 | grep -q "^whois -h whois.jprs.jp " ||
    fail "installed zwhois did not read the shipped Server.wis"
"$tmp/usr/bin/zindor-whois" --screenshot "$tmp/first.png" >/dev/null 2>&1 || fail "first start"
cmp "$2/data/Server.wis" "$conf/Server.wis" || fail "first start did not copy Server.wis"
cmp "$2/data/Servhit.key" "$conf/Servhit.key" || fail "first start did not copy Servhit.key"
echo "whois.example.test,-,test" >"$conf/Server.wis"
"$tmp/usr/bin/zindor-whois" --screenshot "$tmp/second.png" >/dev/null 2>&1 || fail "second start"
grep -qx "whois.example.test,-,test" "$conf/Server.wis" || fail "the user's Server.wis overwritten"

# A home that cannot be made (under a plain file, so root cannot make it either): the window
# says so once and still ends by itself, without a box waiting for a click.
: >"$tmp/plain"
HOME="$tmp/plain/home" timeout 60 "$tmp/usr/bin/zindor-whois" --screenshot "$tmp/third.png" \
    >/dev/null 2>"$tmp/stderr" || { cat "$tmp/stderr"; fail "start without a home folder"; }
grep -q "$tmp/plain/home/.config/zindor-whois/" "$tmp/stderr" || fail "unmade home not reported"
# The executable alone: no Servhit.key anywhere refuses the query.
cp "$tmp/usr/bin/zwhois" "$tmp/alone"
set +e
HOME="$tmp/plain/home" unshare -rn "$tmp/alone" -h whois.example.test example.jp 2>"$tmp/stderr"
rc=$?
set -e
[ "$rc" -eq 2 ] || fail "zwhois without Servhit.key exited $rc"
grep -q "Servhit.key not found" "$tmp/stderr" || fail "missing Servhit.key not reported"

cpack -G DEB --config "$1/CPackConfig.cmake" -B "$tmp/pkg" >"$tmp/log" 2>&1 || { cat "$tmp/log"; fail cpack; }
deb=$(ls "$tmp"/pkg/zindor-whois_*_*.deb) || fail "no package"
dpkg-deb -c "$deb" | grep -Eo '\./usr/(bin/zindor-whois|bin/zwhois|share/man/man1/zwhois\.1\.gz)$' |
    wc -l | grep -qx 3 || fail "executables or man page missing"
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "dependencies not read from the binaries"
dpkg-deb -f "$deb" Recommends | grep -q "libqt6svg6.*fonts-noto-cjk.*qt6-translations-l10n" ||
    fail "recommends the SVG plugin, a Japanese font and Qt's translations"
dpkg-deb -e "$deb" "$tmp/control" || fail "control files"
grep -q "cap_net_raw+ep" "$tmp/control/postinst" || fail "postinst does not set the capability"
dpkg-deb -x "$deb" "$tmp/root" || fail "package contents"
diff -r "$tmp/usr/share" "$tmp/root/usr/share" || fail "package and installed tree differ"
grep -q "^License: Expat" "$tmp/root/usr/share/doc/zindor-whois/copyright" || fail "no licence"
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$tmp"/root/usr/share/metainfo/*.xml || fail "metainfo invalid"
fi
if ! command -v lintian >/dev/null; then
    echo "lintian not installed: the package is not linted"
    exit 77
fi
lintian --fail-on error,warning "$deb" || fail "lintian found errors or warnings"
