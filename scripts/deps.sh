#!/usr/bin/env bash
# Installs the Debian packages TRAZON needs, when any is missing.
#   deps.sh run   what building and running the viewer needs (the default)
#   deps.sh test  that, plus what the tests, the sanitizer and fuzz builds, the package and the
#                 Python module need
set -euo pipefail
mode="${1:-run}"
PKGS=(build-essential cmake ccache pkg-config
      qt6-base-dev qt6-base-dev-tools libgl-dev libgl1-mesa-dev libglx-dev libx11-dev
      libgl1-mesa-dri libglx-mesa0 xdg-utils
      fonts-ipafont-gothic)
if [ "$mode" = test ]; then
  PKGS+=(libgtest-dev clang-14 libclang-rt-14-dev dpkg-dev
         xvfb xauth x11-utils imagemagick
         pybind11-dev python3-dev python3-numpy python3-pytest)
elif [ "$mode" != run ]; then
  echo "usage: deps.sh [run|test]" >&2
  exit 2
fi
# One query for all of them keeps a second run quick. dpkg-query exits 1 whenever a name is
# not known to it at all (a package never installed), which is the normal case on a new
# machine: its status is not an error here, only its output counts.
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${PKGS[@]}" 2>/dev/null || true)
installed=$(awk '/install ok installed/ {sub(/:.*/, "", $1); print $1}' <<<"$installed")
missing=()
for p in "${PKGS[@]}"; do
  grep -qxF "$p" <<<"$installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null 2>&1 ||
    { echo "deps.sh: not root and no sudo: install these packages first: ${missing[*]}" >&2; exit 1; }
  SUDO=(sudo)
fi
"${SUDO[@]}" apt-get update -qq ||
  echo "deps.sh: apt-get update failed; trying the package lists at hand" >&2
if ! "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive \
     apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
  # apt-get installs all or nothing; name the ones it could not find where it says so
  failed=()
  for p in "${missing[@]}"; do
    apt-cache show "$p" >/dev/null 2>&1 || failed+=("$p")
  done
  [ ${#failed[@]} -gt 0 ] || failed=("${missing[@]}")
  echo "deps.sh: could not install: ${failed[*]}" >&2
  exit 1
fi
