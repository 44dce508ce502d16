#!/usr/bin/env bash
# Builds and runs every test three times: a normal build, AddressSanitizer with
# UndefinedBehaviorSanitizer (all tests), and ThreadSanitizer (the Qt-free libraries);
# then builds the fuzz targets and runs each for 30 seconds.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test || exit 1

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
jobs=$(nproc)

total_pass=0
total_fail=0
total_skip=0
failed_builds=()

# run_suite NAME CMAKE_ARGS...
run_suite() {
  local name=$1
  shift
  local dir=build/$name
  echo "=== $name: configure and build"
  if ! cmake -S . -B "$dir" -G Ninja "$@" > "$dir.configure.log" 2>&1; then
    cat "$dir.configure.log"
    failed_builds+=("$name")
    return
  fi
  if ! cmake --build "$dir" -j"$jobs"; then
    failed_builds+=("$name")
    return
  fi
  echo "=== $name: tests"
  local log=$dir/ctest.log
  ctest --test-dir "$dir" --output-on-failure -j"$jobs" --timeout 600 2>&1 | tee "$log"
  local pass fail skip
  pass=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed' "$log")
  fail=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*\*\*\*(Failed|Exception|Timeout|Not Run)' "$log")
  skip=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*\*\*\*Skipped' "$log")
  # A suite that ran nothing (tests switched off, none found) is a failed suite, not a pass.
  if [ $((pass + fail + skip)) -eq 0 ]; then
    echo "$name: no test ran"
    failed_builds+=("$name")
  fi
  total_skip=$((total_skip + skip))
  total_pass=$((total_pass + pass))
  total_fail=$((total_fail + fail))
}

mkdir -p build
# Every switch named: scripts/run.sh shares build/release and turns tests and benchmarks off.
run_suite release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZW_WERROR=ON -DZW_TESTS=ON -DZW_BENCH=ON
run_suite asan -DCMAKE_BUILD_TYPE=Debug -DZW_SANITIZE="address;undefined" -DZW_WERROR=ON -DZW_TESTS=ON -DZW_BENCH=OFF
run_suite tsan -DCMAKE_BUILD_TYPE=Debug -DZW_SANITIZE=thread -DZW_WERROR=ON -DZW_TESTS=ON -DZW_BENCH=OFF -DZW_GUI=OFF

# The fuzz targets (clang, own build tree), each run for 30 s on its seed corpus.
echo "=== fuzz: build and short runs"
fuzz/run.sh 30 2>&1 | tee build/fuzz.log
fuzz_pass=$(sed -n 's/^fuzz: \([0-9]*\) passed, \([0-9]*\) failed$/\1/p' build/fuzz.log | tail -1)
fuzz_fail=$(sed -n 's/^fuzz: \([0-9]*\) passed, \([0-9]*\) failed$/\2/p' build/fuzz.log | tail -1)
total_pass=$((total_pass + ${fuzz_pass:-0}))
total_fail=$((total_fail + ${fuzz_fail:-1}))

if [ ${#failed_builds[@]} -gt 0 ]; then
  echo "Failed to build or run: ${failed_builds[*]}"
  total_fail=$((total_fail + ${#failed_builds[@]}))
fi
echo "$total_pass passed, $total_fail failed, $total_skip skipped"
[ "$total_fail" -eq 0 ]
