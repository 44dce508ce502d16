#!/bin/bash
# A batch of WHOIS queries, whole process: N names through one `zwhois -`, through
# `xargs -n1 zwhois` and through N GNU whois processes, against a loopback fake server
# (2 KB answer) in a network and mount namespace of its own. Wall time of each batch.
#   sudo bench/batch_line.sh build/release/mainview/zwhois [N]
set -euo pipefail
if [ "${ZW_IN_NS:-}" != 1 ]; then
  exec unshare -n -m env ZW_IN_NS=1 "$0" "$@"
fi
zwhois=$1
n=${2:-1000}
dir=$(mktemp -d)
trap 'kill $server 2>/dev/null; rm -rf "$dir"' EXIT
ip link set lo up
printf '127.0.0.1 localhost\n127.0.0.2 whois.a.test\n' > "$dir/hosts"
mount --bind "$dir/hosts" /etc/hosts
mkdir "$dir/home" && : > "$dir/home/Server.wis"
python3 - "$dir/ready" <<'PY' & server=$!
import socket, sys
body = "% fake registry\r\n\r\nDomain Name: EXAMPLE.TEST\r\nRegistrant: Someone\r\n"
while len(body) < 2048:
    body += "%% filler line %d of the fake answer\r\n" % len(body)
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.2", 43)); s.listen(64); open(sys.argv[1], "w").close()
while True:
    c, _ = s.accept(); c.recv(4096); c.sendall(body.encode()); c.close()
PY
while [ ! -e "$dir/ready" ]; do sleep 0.05; done
seq -f "name%g.example.test" "$n" > "$dir/names"
timed() { # label, then the command reading the names on stdin
  local label=$1; shift
  local start end
  start=$(date +%s.%N)
  "$@" < "$dir/names" > /dev/null 2>&1 || true
  end=$(date +%s.%N)
  awk -v l="$label" -v s="$start" -v e="$end" -v n="$n" \
    'BEGIN {printf "%-32s %8.3f s  %6.3f ms a name\n", l, e - s, (e - s) * 1000 / n}'
}
timed "one zwhois -" "$zwhois" --home "$dir/home" -h whois.a.test -
timed "xargs -n1 zwhois" xargs -n1 "$zwhois" --home "$dir/home" -h whois.a.test
timed "xargs -n1 GNU whois" xargs -n1 whois -h whois.a.test
