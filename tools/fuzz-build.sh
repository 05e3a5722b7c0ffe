#!/usr/bin/env bash
# Configures and builds the fuzz targets in build-fuzz with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer (the compiler cache is shared with the normal build).
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}" CCACHE_BASEDIR="$PWD"
SAN="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-sanitize=function,vptr -fno-omit-frame-pointer"
if [ ! -f build-fuzz/CMakeCache.txt ]; then
  CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQOR_FUZZ=ON -DCMAKE_C_FLAGS="$SAN -fsanitize=fuzzer-no-link" \
    -DCMAKE_CXX_FLAGS="$SAN -fsanitize=fuzzer-no-link" \
    -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
fi
cmake --build build-fuzz -j"${QOR_JOBS:-2}" --target qor_fuzz_all
