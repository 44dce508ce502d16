#!/bin/bash
# CPU time and context switches of one WHOIS query, zwhois against GNU whois, whole process,
# on a loopback fake server (2 KB answer) in a network and mount namespace of its own.
# Switches are counted per process (voluntary: the waits; involuntary: preemption), which
# stay meaningful on a loaded machine where wall time does not.
#   sudo bench/oneshot_counts.sh build/bench/mainview/zwhois [more zwhois builds...] [runs]
set -euo pipefail
if [ "${ZW_IN_NS:-}" != 1 ]; then
  exec unshare -n -m env ZW_IN_NS=1 "$0" "$@"
fi
runs=100
[[ "${!#}" =~ ^[0-9]+$ ]] && runs=${!#} && set -- "${@:1:$#-1}"
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
count() { # label, command...
  local label=$1; shift
  for _ in $(seq "$runs"); do /usr/bin/time -f "%w %c %e" "$@" 2>&1 >/dev/null | tail -1; done |
    awk -v l="$label" '{v += $1; c += $2; n++} END {printf "%-40s voluntary %5.1f  involuntary %5.1f\n", l, v/n, c/n}'
  perf stat -r "$runs" -e task-clock "$@" 2>&1 >/dev/null | awk '/task-clock/ {printf "%-40s task-clock %s ms\n", "", $1}'
}
for zwhois in "$@"; do
  count "$zwhois" "$zwhois" --home "$dir/home" -h whois.a.test example.test
done
count "GNU whois" whois -h whois.a.test example.test
