#!/usr/bin/env bash
# Builds what the viewer needs, the viewer and trazon-cli (Release, no tests, no benchmarks),
# in build/. The run command and the test command both call this, so that a break of the
# first command a user types fails the tests too.
set -euo pipefail
cd "$(dirname "$0")/.."
# Compiler cache keyed on paths relative to the checkout, so that another clone of the same
# sources reuses the objects.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTRAZON_TESTS=OFF -DTRAZON_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target trazon trazon-cli
