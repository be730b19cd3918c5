#!/usr/bin/env bash
# Installs what is missing, builds TRAZON and starts the viewer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)"
if [ -x build/app/trazon ]; then
  exec build/app/trazon "$@"
else
  exec build/app/trazon-cli info "$@"
fi
