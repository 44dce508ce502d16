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
. "$(dirname "$0")/fake_whois_ns.sh"
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
