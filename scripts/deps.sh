#!/usr/bin/env bash
# Installs the Debian packages TRAZON needs to build, run and test, when any is missing.
set -euo pipefail
PKGS=(build-essential cmake ccache pkg-config
      qt6-base-dev qt6-base-dev-tools libgl-dev libgl1-mesa-dev libglx-dev libx11-dev
      libgl1-mesa-dri libglx-mesa0 libgtest-dev
      clang-14 libclang-rt-14-dev
      xvfb xauth x11-utils imagemagick xdg-utils)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
