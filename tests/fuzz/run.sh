#!/usr/bin/env bash
# Runs a fuzz target (default: the reader's) for 60 seconds with a fixed seed; exits non-zero
# on any finding (crash, sanitizer report, leak, timeout, out-of-memory).
# Usage: bash tests/fuzz/run.sh BUILD_DIR [SECONDS] [TARGET]
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:?usage: run.sh BUILD_DIR [SECONDS]}"
seconds="${2:-60}"
target="${3:-fuzz_reader}"
bin="$build/tests/fuzz/$target"
if [ ! -x "$bin" ]; then
  echo "fuzz: $bin not built (configure with -DTRAZON_FUZZ=ON and clang)" >&2
  exit 1
fi
# The reader's work files go below TMPDIR; a memory file system keeps the runs fast.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
work=$(mktemp -d "${TMPDIR:-/tmp}/trazon-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/artifacts"
set +e
"$bin" -seed=1 -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
  "$work/corpus" tests/fuzz/corpus > "$work/log" 2>&1
rc=$?
set -e
tail -n 15 "$work/log"
if [ "$rc" -ne 0 ] || [ -n "$(ls -A "$work/artifacts")" ]; then
  echo "fuzz: FINDING (exit code $rc)" >&2
  grep -m1 -A30 -E 'ERROR|runtime error|deadly signal|Timeout|out-of-memory' "$work/log" >&2 || true
  for a in "$work"/artifacts/*; do
    [ -e "$a" ] || continue
    echo "fuzz: input $(basename "$a") (base64):" >&2
    base64 -w0 "$a" >&2; echo >&2
  done
  exit 1
fi
echo "fuzz: $target: no findings in ${seconds} s"
