#!/usr/bin/env bash
# Builds what the viewer needs, the viewer and trazon-cli (Release, no tests, no benchmarks),
# in build/. The run command and the test command both call this, so that a break of the
# first command a user types fails the tests too.
set -euo pipefail
cd "$(dirname "$0")/.."
# Compiler cache keyed on paths relative to the checkout, so that another clone of the same
# sources reuses the objects.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
# STRICT is named: a build/ configured by an older run command may still hold it on.
options=(-DCMAKE_BUILD_TYPE=Release -DTRAZON_STRICT=OFF -DTRAZON_TESTS=OFF -DTRAZON_BENCH=OFF)
# Configure only when build/ lacks these options; the build step itself re-runs CMake when
# a CMakeLists.txt changed.
cache=build/CMakeCache.txt
if ! { grep -qx 'CMAKE_BUILD_TYPE:STRING=Release' "$cache" && grep -qx 'TRAZON_TESTS:BOOL=OFF' "$cache" &&
       grep -qx 'TRAZON_BENCH:BOOL=OFF' "$cache" && grep -qx 'TRAZON_STRICT:BOOL=OFF' "$cache"; } 2>/dev/null; then
  cmake -S . -B build "${options[@]}" >/dev/null
fi
cmake --build build -j"$(nproc)" --target trazon trazon-cli
