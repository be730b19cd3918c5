#!/usr/bin/env bash
# Installs what is missing, builds the viewer and starts it (arguments go to the viewer,
# e.g. a data file to open).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh run
bash scripts/build.sh
exec build/app/trazon "$@"
