#!/usr/bin/env bash
# Runs scripts/deps.sh against stand-ins for dpkg-query, apt-get, apt-cache, sudo and id placed
# first on PATH. The dpkg-query stand-in behaves like the real one: it prints the packages it
# knows and exits 1 when any name is unknown. The apt-get stand-in logs its calls and, on
# install, marks the packages installed unless they are named in $FAKE_UNAVAILABLE.
#   deps_test.sh [DEPS_SCRIPT]
set -uo pipefail
deps="${1:-$(dirname "$0")/../../scripts/deps.sh}"
deps=$(realpath "$deps")
work=$(mktemp -d "${TMPDIR:-/tmp}/trazon-deps.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "deps: $*" >&2; failures=$((failures + 1)); }

mkdir -p "$work/bin"
cat >"$work/bin/dpkg-query" <<'STUB'
#!/bin/bash
# dpkg-query -W -f=FORMAT NAME...
shift 2
status=0
for name in "$@"; do
  if grep -qxF "$name" "$FAKE_DB"; then
    echo "$name install ok installed"
  else
    echo "dpkg-query: no packages found matching $name" >&2
    status=1
  fi
done
exit $status
STUB
cat >"$work/bin/apt-get" <<'STUB'
#!/bin/bash
echo "apt-get $*" >>"$FAKE_LOG"
[ "$1" = update ] && exit 0
[ "$1" = install ] || exit 0
shift
names=()
for a in "$@"; do case "$a" in -*) ;; *) names+=("$a") ;; esac; done
for n in "${names[@]}"; do
  if grep -qxF "$n" <<<"${FAKE_UNAVAILABLE:-}"; then
    echo "E: Unable to locate package $n" >&2
    exit 100
  fi
done
printf '%s\n' "${names[@]}" >>"$FAKE_DB"
STUB
cat >"$work/bin/apt-cache" <<'STUB'
#!/bin/bash
# apt-cache show NAME
! grep -qxF "$2" <<<"${FAKE_UNAVAILABLE:-}"
STUB
cat >"$work/bin/sudo" <<'STUB'
#!/bin/bash
echo "sudo $*" >>"$FAKE_LOG"
exec "$@"
STUB
cat >"$work/bin/id" <<'STUB'
#!/bin/bash
echo "${FAKE_UID:-0}"
STUB
chmod +x "$work/bin/"*

# every package either mode names, taken from the script's own list
all_packages() {
  sed -n '/^PKGS=(/,/^fi$/p' "$deps" | tr ' ()' '\n\n\n' |
    grep -E '^[a-z0-9][a-z0-9.+-]+$' | grep -vxE 'PKGS|if|then|elif|fi|echo|exit|usage|run|test|deps.sh' |
    sort -u
}
ALL=$(all_packages)
[ "$(wc -l <<<"$ALL")" -ge 10 ] || fail "could not read the package list of $deps"

# run_case NAME MODE "missing packages" [extra env...]: a database with every package except
# the missing ones, then deps.sh MODE; leaves $out, $rc and $log set
run_case() {
  local name="$1" mode="$2" missing="$3"; shift 3
  export FAKE_DB="$work/$name.db" FAKE_LOG="$work/$name.log"
  : >"$FAKE_LOG"
  grep -vxF -f <(printf '%s\n' $missing "") <<<"$ALL" >"$FAKE_DB"
  out=$(env PATH="$work/bin:$PATH" "$@" bash "$deps" "$mode" 2>&1)
  rc=$?
  log=$(cat "$FAKE_LOG")
}

installed_by_apt() { grep '^apt-get install' <<<"$log" | tr ' ' '\n' | grep -v '^-' | tail -n +3 | sort; }

for mode in run test; do
  run_case "none-$mode" "$mode" ""
  [ $rc -eq 0 ] || fail "$mode, nothing missing: exit $rc: $out"
  [ -z "$log" ] || fail "$mode, nothing missing: apt-get was called: $log"

  run_case "two-$mode" "$mode" "ccache fonts-ipafont-gothic"
  [ $rc -eq 0 ] || fail "$mode, two missing: exit $rc: $out"
  [ "$(installed_by_apt | tr '\n' ' ')" = "ccache fonts-ipafont-gothic " ] ||
    fail "$mode, two missing: installed '$(installed_by_apt | tr '\n' ' ')'"
  grep -q sudo <<<"$log" && fail "$mode, as root: sudo was used"

  run_case "all-$mode" "$mode" "$ALL"
  [ $rc -eq 0 ] || fail "$mode, all missing: exit $rc: $out"
  [ "$(installed_by_apt | wc -l)" -ge 10 ] || fail "$mode, all missing: too few installed"
  # a second run finds them all and calls nothing
  : >"$FAKE_LOG"
  env PATH="$work/bin:$PATH" bash "$deps" "$mode" >/dev/null 2>&1 || fail "$mode: second run failed"
  [ -s "$FAKE_LOG" ] && fail "$mode: second run called apt-get again"
done

run_case sudo run "cmake" FAKE_UID=1000
[ $rc -eq 0 ] || fail "through sudo: exit $rc: $out"
grep -q '^sudo .*apt-get install.*cmake' <<<"$log" || fail "through sudo: no sudo apt-get install: $log"

run_case unavailable run "ccache cmake" FAKE_UNAVAILABLE=ccache
[ $rc -ne 0 ] || fail "apt-get failing: exit 0"
grep -q 'could not install: ccache' <<<"$out" || fail "apt-get failing: no message naming ccache: $out"

run_case usage bogus ""
[ $rc -eq 2 ] || fail "unknown mode: exit $rc"

if [ $failures -eq 0 ]; then echo "deps: all cases passed"; else exit 1; fi
