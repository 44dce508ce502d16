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
# Where the installed window looks for its help (the data folder), in both languages.
for l in ja en; do
  [ -s "$tmp/usr/share/zindor-whois/help/zindor-whois-$l.html" ] || fail "no $l help page"
done
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

# Capabilities: root's install gives CAP_NET_RAW to the probe helper alone. The window holds
# none, so a Qt plugin the user's environment names gets no raw socket through it; an
# ordinary user with ping_group_range off still pings and traces, over IPv4 and IPv6.
probe="$tmp/usr/libexec/zindor-whois/zindor-probe"
[ -x "$probe" ] || fail "probe helper not installed"
if [ "$(id -u)" -eq 0 ] && command -v getcap >/dev/null && command -v setpriv >/dev/null &&
   getcap "$probe" | grep -q "cap_net_raw=ep"; then
  for exe in zindor-whois zwhois; do
    [ -z "$(getcap "$tmp/usr/bin/$exe")" ] || fail "$exe holds a capability"
  done
  chmod 755 "$tmp"
  as_user() { setpriv --reuid=65534 --regid=65534 --clear-groups --inh-caps=-all "$@"; }
  # The attack: a style plugin that opens a raw ICMP socket as the window loads it.
  evil="$tmp/evil" && mkdir -p "$evil/styles" "$evil/home" && chown 65534 "$evil" "$evil/home"
  cat >"$evil/evil.cpp" <<'PLUGIN'
#include <QCommonStyle>
#include <QStylePlugin>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
class Evil : public QStylePlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QStyleFactoryInterface" FILE "evil.json")
public:
    QStyle* create(const QString&) override {
        if (FILE* f = std::fopen(std::getenv("EVIL_OUT"), "w")) {
            std::fprintf(f, "%d\n", ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP));
            std::fclose(f);
        }
        return new QCommonStyle;
    }
};
#include "evil.moc"
PLUGIN
  echo '{ "Keys": [ "evil" ] }' >"$evil/evil.json"
  /usr/lib/qt6/libexec/moc "$evil/evil.cpp" -o "$evil/evil.moc" &&
    g++ -shared -fPIC -std=c++17 -I"$evil" $(pkg-config --cflags Qt6Widgets) "$evil/evil.cpp" \
      -o "$evil/styles/libevil.so" $(pkg-config --libs Qt6Widgets) || fail "plugin not built"
  as_user env HOME="$evil/home" QT_PLUGIN_PATH="$evil" QT_STYLE_OVERRIDE=evil EVIL_OUT="$evil/out" \
    "$tmp/usr/bin/zindor-whois" --screenshot "$evil/shot.png" >/dev/null 2>&1 || true
  [ -s "$evil/out" ] || fail "the plugin was not loaded, so the attack was not tried"
  grep -qx -- "-1" "$evil/out" || fail "a plugin in the window opened a raw socket"
  # Not even through a capability set on the window by hand, as older instructions said.
  cp "$tmp/usr/bin/zindor-whois" "$evil/zindor-whois" && setcap cap_net_raw+ep "$evil/zindor-whois"
  rm -f "$evil/out"
  as_user env HOME="$evil/home" QT_PLUGIN_PATH="$evil" QT_STYLE_OVERRIDE=evil EVIL_OUT="$evil/out" \
    "$evil/zindor-whois" --screenshot "$evil/shot.png" >/dev/null 2>&1 || true
  grep -qx -- "-1" "$evil/out" || fail "a capability set on the window reached its plugins"
  # Unprivileged ICMP off, as on Debian: the helper serves zwhois's probes.
  for target in 127.0.0.1 ::1; do
    for mode in "--ping $target -c 1" "--trace $target"; do
      out=$(unshare -n sh -c 'ip link set lo up && sysctl -qw net.ipv4.ping_group_range="1 0" && "$@"' \
            sh setpriv --reuid=65534 --regid=65534 --clear-groups --inh-caps=-all \
            env HOME="$evil/home" "$tmp/usr/bin/zwhois" $mode 2>&1) ||
        fail "zwhois $mode $target as an ordinary user: $out"
      echo "$out" | grep -q "^  1  *[0-9][0-9.]*  *$target " || fail "zwhois $mode $target: $out"
    done
  done
fi

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
grep -q 'setcap cap_net_raw+ep "$helper"' "$tmp/control/postinst" || fail "postinst without setcap"
grep -q "configure|abort-upgrade)" "$tmp/control/postinst" || fail "postinst: abort-upgrade"
dpkg-deb -c "$deb" | grep '\./usr/libexec/zindor-whois/zindor-probe$' >/dev/null || fail "helper not packaged"
dpkg-deb -x "$deb" "$tmp/root"
diff -r "$tmp/usr/share" "$tmp/root/usr/share" || fail "package and installed tree differ"
! command -v appstreamcli >/dev/null ||
    appstreamcli validate --no-net "$tmp"/root/usr/share/metainfo/*.xml || fail "metainfo invalid"
# A Japanese desktop's menu and software centre show Japanese, not the English fallback.
for row in 'applications/zindor-whois.desktop:^Comment\[ja\]=' \
           'metainfo/io.github.zindorwhois.ZindorWhois.metainfo.xml:<summary xml:lang="ja">'; do
  grep -q "${row#*:}" "$tmp/root/usr/share/${row%%:*}" || fail "no Japanese in ${row%%:*}"
done
command -v lintian >/dev/null || { echo "lintian not installed: the package is not linted"; exit 77; }
lintian --fail-on error,warning "$deb" || fail "lintian found errors or warnings"
# Built with Debian's hardening flags: no hardening tag even in lintian's pedantic run.
lintian --pedantic -I "$deb" >"$tmp/lintian" 2>&1 || true
! grep hardening "$tmp/lintian" || fail "lintian's hardening tags"
