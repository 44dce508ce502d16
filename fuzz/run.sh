#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer with AddressSanitizer and UBSan, own build tree)
# and runs each on its seed corpus. New inputs go to a scratch corpus in the build tree, so
# the seeds in git stay as they are; a crashing input is kept there as crash-*.
# Usage: fuzz/run.sh [SECONDS_PER_TARGET [TARGET...]]   (default 30 s, every target)
# The last line is "fuzz: N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
dir=build/fuzz
mkdir -p "$dir"
if ! CC=clang-14 CXX=clang++-14 cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_COMPILER=clang++-14 -DZW_FUZZ=ON -DZW_GUI=OFF -DZW_TESTS=OFF -DZW_BENCH=OFF \
      $(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache) \
      > "$dir.configure.log" 2>&1; then
  cat "$dir.configure.log"
  echo "fuzz: 0 passed, 1 failed"
  exit 1
fi
targets=("$@")
[ ${#targets[@]} -eq 0 ] && mapfile -t targets < "$dir/fuzz/targets.txt"
# Only the fuzz targets and what they link: the programs of the tree are not built here.
if ! cmake --build "$dir" -j"$(nproc)" --target "${targets[@]/%/_fuzz}"; then
  echo "fuzz: 0 passed, 1 failed"
  exit 1
fi
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
pass=0
fail=0
for t in "${targets[@]}"; do
  [ -n "$t" ] || continue
  work=$dir/work/$t
  mkdir -p "$work/corpus"
  dict=()
  [ -f fuzz/dict/$t.dict ] && dict=(-dict=fuzz/dict/$t.dict)
  log=$work/run.log
  echo "=== fuzz $t: ${seconds}s"
  if "$dir/fuzz/${t}_fuzz" "${dict[@]}" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
       -max_len=65536 -print_final_stats=1 -artifact_prefix="$work/" \
       "$work/corpus" "fuzz/corpus/$t" > "$log" 2>&1; then
    grep -E '^stat::(number_of_executed_units|peak_rss_mb)|cov: ' "$log" | tail -3
    echo "fuzz $t: Passed"
    pass=$((pass + 1))
  else
    tail -40 "$log"
    echo "fuzz $t: ***Failed (input kept in $work/)"
    fail=$((fail + 1))
  fi
done
echo "fuzz: $pass passed, $fail failed"
[ "$fail" -eq 0 ]
