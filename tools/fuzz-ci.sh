#!/usr/bin/env bash
# CI step: builds the fuzz targets (clang, ASan, UBSan) in build-fuzz and runs each for a
# bounded time from its seed corpus; any crash, leak or sanitizer report fails the step.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH="${QOR_FUZZ_SECONDS:-28}"
bash tools/fuzz-build.sh
status=0
for t in tsql filter calcexpr condition gbkpinyin formatfloat chartother gridanswer columnlayout textorder; do
  log="build-fuzz/fuzz-$t.log"
  if QOR_FUZZ_NOBUILD=1 bash tools/fuzz.sh "$t" "$SECONDS_EACH" >"$log" 2>&1; then
    echo "fuzz $t: $(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}') runs, clean"
  else
    echo "fuzz $t: FAILED (see $log)"; tail -40 "$log"; status=1
  fi
done
exit $status
