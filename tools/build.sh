#!/usr/bin/env bash
# Configures and builds the whole tree in build/ (Ninja, ccache).
# QOR_CMAKE_ARGS: extra arguments for the configure step only, e.g.
#   QOR_CMAKE_ARGS="-DCMAKE_COMPILE_WARNING_AS_ERROR=ON" tools/build.sh
# They are cached by CMake, so an existing build/ is configured again only when they are given.
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
# Paths relative to the checkout, so a fresh clone elsewhere still hits the cache.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(pwd)}"
read -r -a extra <<< "${QOR_CMAKE_ARGS:-}"
if [ ! -f build/build.ninja ] || [ ${#extra[@]} -gt 0 ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${extra[@]}"
fi
cmake --build build "$@"
