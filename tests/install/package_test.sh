#!/usr/bin/env bash
# Builds the .deb, checks its control fields and files, unpacks it with dpkg -x and runs the
# unpacked trazon-cli (info, --help's help-page line, and render when a display is there) and,
# when the build has the Python module, imports it from the unpacked tree with PYTHON.
#   package_test.sh CPACK BUILD_DIR [PYTHON PYTHON_DIR]
set -euo pipefail
cpack="$1"
build="$2"
python="${3:-}"
pydir="${4:-}"
work=$(mktemp -d "${TMPDIR:-/tmp}/trazon-pkg.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "package: $*" >&2; exit 1; }

(cd "$build" && "$cpack" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
# no .deb is a normal outcome of ls here, reported below, not a reason for set -e to end
deb=$(ls "$work"/out/*.deb 2>/dev/null | head -1 || true)
[ -n "$deb" ] || fail "no .deb was written"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libc6 libstdc++6 libqt6widgets6 libx11-6; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib"
done
grep -qE 'libgl1|libopengl0|libglx0' <<<"$depends" || fail "Depends lacks the GL library"
grep -q fonts-ipafont-gothic <<<"$(dpkg-deb -f "$deb" Recommends)" ||
  fail "Recommends lacks a Japanese font"

root="$work/root"
dpkg -x "$deb" "$root"
for f in usr/bin/trazon usr/bin/trazon-cli usr/share/trazon/help/index.html \
         usr/share/applications/trazon.desktop usr/share/icons/hicolor/scalable/apps/trazon.svg; do
  [ -e "$root/$f" ] || fail "$f is missing from the package"
done

cli="$root/usr/bin/trazon-cli"
# outputs are taken whole before grep -q reads them: under pipefail a grep that stops at
# its first match can fail the pipeline through the writer's broken pipe
version=$("$cli" --version) || fail "--version failed"
grep -qE '^trazon-cli [0-9]+\.[0-9]+' <<<"$version" || fail "--version"
"$cli" info >"$work/info.txt" || fail "info failed"
grep -q '^bodies: ' "$work/info.txt" || fail "info printed no bodies line"
# the unpacked program finds the unpacked help pages, not those of a build tree
usage=$("$cli" --help) || fail "--help failed"
grep -qF "Help pages: $(realpath "$root")/usr/share/trazon/help/index.html" <<<"$usage" ||
  fail "the help pages of the unpacked tree were not found: $(tail -1 <<<"$usage")"
if [ -n "${DISPLAY:-}" ]; then
  "$cli" render -o "$work/frame.png" --size 320x240 >/dev/null || fail "render failed"
  [ "$(head -c 4 "$work/frame.png" | tail -c 3)" = PNG ] || fail "render wrote no PNG"
else
  echo "package: no DISPLAY, render not run"
fi
if [ -n "$python" ]; then
  module=$(ls "$root/usr/$pydir"/trazon*.so 2>/dev/null | head -1 || true)
  [ -n "$module" ] || fail "the Python module is missing from usr/$pydir"
  # the module's own dependencies come from the library scan too
  grep -q libpython <<<"$depends" && fail "Depends names libpython (the module needs none)"
  printf 'CSTA-FREE\nSPH 1 0 0 0 5\nSPH 2 0 0 0 9\nEND\nZ1 1\nZ2 2 -1\nEND\nCEND\nMSTA\n2\n1 0\nMEND\n' \
    >"$work/ball.dat"
  out=$(cd "$work" && PYTHONPATH="$root/usr/$pydir" "$python" -c \
    "import trazon; g = trazon.load('ball.dat'); print(trazon.__file__); print(g.where([[0, 0, 0], [7, 0, 0]]).tolist())") ||
    fail "import trazon from the unpacked tree failed"
  grep -qF "$root/usr/$pydir/" <<<"$out" || fail "imported another trazon module: $out"
  grep -qxF "[0, 1]" <<<"$out" || fail "the unpacked module located the points wrongly: $out"
fi
echo "package: $(basename "$deb") builds, unpacks and runs"
