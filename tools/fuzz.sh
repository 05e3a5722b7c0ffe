#!/usr/bin/env bash
# tools/fuzz.sh TARGET SECONDS: builds the fuzz targets (tools/fuzz-build.sh) and runs one of
# them for SECONDS from its seed corpus in tests/fuzz/corpus/TARGET. New inputs go to
# build-fuzz/corpus/TARGET; a crash, leak or sanitizer report leaves its input in
# build-fuzz/artifacts/ and the exit status is not 0. Targets: tsql filter calcexpr condition
# gbkpinyin formatfloat chartother gridanswer columnlayout textorder.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 2 ] || { echo "usage: tools/fuzz.sh TARGET SECONDS" >&2; exit 2; }
target=$1 seconds=$2
[ -f "tests/fuzz/corpus/$target/.keep" ] || [ -d "tests/fuzz/corpus/$target" ] ||
  { echo "unknown target: $target" >&2; exit 2; }
[ "${QOR_FUZZ_NOBUILD:-}" = 1 ] || bash tools/fuzz-build.sh
mkdir -p "build-fuzz/corpus/$target" build-fuzz/artifacts
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/tools/lsan-qt.supp:print_suppressions=0}"
exec "build-fuzz/bin/fuzz_$target" -max_total_time="$seconds" -max_len=12000 -timeout=20 \
  -rss_limit_mb=3072 -print_final_stats=1 -artifact_prefix="build-fuzz/artifacts/$target-" \
  "build-fuzz/corpus/$target" "tests/fuzz/corpus/$target"
