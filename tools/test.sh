#!/usr/bin/env bash
# Fresh Debian 12 machine: installs everything, builds, runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
if [ "${1:-}" = "--asan" ]; then
  # The whole tree and every test under AddressSanitizer and UndefinedBehaviorSanitizer, in
  # build-asan (the compiler cache is shared). Leaks of Qt's own one-time allocations are
  # suppressed in tools/lsan-qt.supp; nothing of ours is.
  shift
  export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}" CCACHE_BASEDIR="$PWD"
  SAN="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS="$SAN" \
    -DCMAKE_CXX_FLAGS="$SAN" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
  cmake --build build-asan -j"${QOR_JOBS:-2}"
  cd build-asan
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_odr_violation=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  export LSAN_OPTIONS="suppressions=$PWD/../tools/lsan-qt.supp:print_suppressions=0"
  QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 "$@"
  exit
fi
bash tools/build.sh
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 "$@"
