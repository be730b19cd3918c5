#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#  0. the viewer build of the run command (scripts/build.sh), exactly as a user gets it;
#  1. the full build (strict warnings) with all unit, widget, pixel and package tests under Xvfb;
#  2. the engine tests once more under AddressSanitizer and UndefinedBehaviorSanitizer;
#  3. the data-file fuzz target and the whole-load fuzz target (post-load steps, check rays,
#     one volume level), each for 60 seconds with a fixed seed.
set -euo pipefail
cd "$(dirname "$0")/.."
# Compiler cache keyed on paths relative to the checkout, so that another clone of the same
# sources reuses the objects.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
bash scripts/deps.sh test
JOBS=$(nproc)

bash scripts/build.sh

cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRAZON_STRICT=ON >/dev/null
cmake --build build-test -j"$JOBS"

XVFB_PID=""
cleanup() { [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true; }
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  for n in $(seq 91 120); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      # -noreset: a server that resets whenever its last client leaves refuses the next test
      # that connects during the reset
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
      XVFB_PID=$!
      export DISPLAY=":$n"
      for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
      break
    fi
  done
fi
export QT_QPA_PLATFORM=xcb LIBGL_ALWAYS_SOFTWARE=1

status=0
(cd build-test && ctest --output-on-failure -j"$JOBS") || status=1

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTRAZON_SANITIZE=ON -DTRAZON_GUI=OFF \
      -DTRAZON_BENCH=OFF >/dev/null
cmake --build build-asan -j"$JOBS"
(cd build-asan && ctest --output-on-failure -j"$JOBS") || status=1

if [ -f tests/fuzz/CMakeLists.txt ]; then
  cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRAZON_FUZZ=ON -DTRAZON_GUI=OFF -DTRAZON_TESTS=ON \
        -DTRAZON_STRICT=OFF \
        -DTRAZON_BENCH=OFF >/dev/null
  cmake --build build-fuzz -j"$JOBS" --target fuzz_reader fuzz_load
  bash tests/fuzz/run.sh build-fuzz || status=1
  bash tests/fuzz/run.sh build-fuzz 60 fuzz_load || status=1
fi

if [ "$status" -eq 0 ]; then echo "ALL TESTS PASSED"; else echo "SOME TESTS FAILED"; fi
exit "$status"
