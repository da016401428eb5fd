#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   scripts/test.sh             normal build (build/), the whole suite
#   scripts/test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build (build-asan/)
#   scripts/test.sh --fuzz [s]  libFuzzer targets (build-fuzz/, clang), s seconds each (default 20)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
"$here/scripts/deps.sh"

jobs=$(nproc)
case "${1:-}" in
  --sanitize)
    "$here/scripts/build.sh" build-asan -DCMAKE_BUILD_TYPE=Debug -DQ5N_SANITIZE=ON -DQ5N_BENCH=OFF -DQ5N_WERROR=ON
    cd build-asan
    ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      ctest --output-on-failure -j "$jobs"
    ;;
  --fuzz)
    seconds=${2:-20}
    "$here/scripts/build.sh" build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
      -DQ5N_FUZZ=ON -DQ5N_TESTS=OFF -DQ5N_BENCH=OFF -DQ5N_WERROR=ON
    failed=0
    count=0
    for f in build-fuzz/fuzz/fuzz_*; do
      [ -f "$f" ] && [ -x "$f" ] || continue
      name=$(basename "$f")
      corpus="build-fuzz/corpus/$name"
      mkdir -p "$corpus"
      seeds=()
      [ -d "fuzz/seeds/$name" ] && seeds=("fuzz/seeds/$name")
      echo "== $name: ${seconds}s"
      count=$((count + 1))
      if ! ASAN_OPTIONS=detect_leaks=0 "$f" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
             -print_final_stats=0 "$corpus" "${seeds[@]}" >"build-fuzz/$name.log" 2>&1; then
        tail -40 "build-fuzz/$name.log"
        failed=$((failed + 1))
      else
        grep -E '^(#[0-9]+|Done)' "build-fuzz/$name.log" | tail -1 || true
      fi
    done
    echo "fuzz: $((count - failed)) passed, $failed failed"
    [ "$failed" -eq 0 ]
    ;;
  "")
    "$here/scripts/build.sh" build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQ5N_WERROR=ON
    cd build
    # The tests mostly wait on timers and lines, not on the processor: three
    # per core keep the cores busy. The quick run leaves out the tests at the
    # real intervals; the slow ones follow.
    ctest --output-on-failure -j "$((jobs * 3))" -LE slow
    ctest --output-on-failure -j "$jobs" -L slow
    ;;
  *)
    echo "usage: $0 [--sanitize | --fuzz [seconds]]" >&2
    exit 2
    ;;
esac
