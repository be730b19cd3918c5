#!/usr/bin/env bash
# Installs the Debian packages TRAZON needs, when any is missing.
#   deps.sh run   what building and running the viewer needs (the default)
#   deps.sh test  that, plus what the tests, the sanitizer and fuzz builds and the package need
set -euo pipefail
mode="${1:-run}"
PKGS=(build-essential cmake ccache pkg-config
      qt6-base-dev qt6-base-dev-tools libgl-dev libgl1-mesa-dev libglx-dev libx11-dev
      libgl1-mesa-dri libglx-mesa0 xdg-utils
      fonts-ipafont-gothic)
if [ "$mode" = test ]; then
  PKGS+=(libgtest-dev clang-14 libclang-rt-14-dev dpkg-dev
         xvfb xauth x11-utils imagemagick)
elif [ "$mode" != run ]; then
  echo "usage: deps.sh [run|test]" >&2
  exit 2
fi
# one query for all of them keeps a second run quick
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${PKGS[@]}" 2>/dev/null |
            awk '/install ok installed/ {print $1}')
missing=()
for p in "${PKGS[@]}"; do
  grep -qx "$p" <<<"$installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
