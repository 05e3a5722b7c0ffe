#!/usr/bin/env bash
# Configures and builds the whole tree in build/ (Ninja, ccache).
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
# Paths relative to the checkout, so a fresh clone elsewhere still hits the cache.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(pwd)}"
[ -f build/build.ninja ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build "$@"
