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
. "$(dirname "$0")/fake_whois_ns.sh"
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
