#!/usr/bin/env bash
# trazon-cli info: exact output on the sample, exact error text, exit codes.
set -u
cli="$1"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
check() { # name expected actual
  if [ "$2" != "$3" ]; then
    echo "FAIL $1"; echo "--- expected"; printf '%s\n' "$2"; echo "--- got"; printf '%s\n' "$3"
    fail=1
  fi
}

out=$("$cli" info); rc=$?
check "sample rc" 0 "$rc"
check "sample output" "bodies: 10
zones: 7
materials: 1 2 3 4
points: 21
histories: 2
time: no
maxtime: 0
size: 42.4264" "$out"

out=$("$cli" info --read-max 1 | grep -E '^(points|histories):')
check "read-max" "points: 14
histories: 1" "$out"

# geometry only, no materials used, a time column
printf 'CSTA-FREE-TIME\nRPP 1 0 1 0 1 0 1\nEND\nZ1 1\nEND\nCEND\nMSTA\n1\n0\nMEND\n0 3\n4 1 2 3 1 1 1 2.5e-9\n' > "$tmp/t.dat"
out=$("$cli" info "$tmp/t.dat")
check "time file" "bodies: 1
zones: 1
materials: 
points: 1
histories: 3
time: yes
maxtime: 2.5e-09
size: 3" "$out"

printf 'CSTA\nRPP 1 0 1 0 1 0 1\nRPP 0 0 1 0 1 0 1\n' > "$tmp/bad.dat"
"$cli" info "$tmp/bad.dat" > "$tmp/out" 2> "$tmp/err"; rc=$?
check "error rc" 1 "$rc"
check "error stdout" "" "$(cat "$tmp/out")"
printf 'error : Read Body Number Error\nReadStr : 0\nLine : 3\n' > "$tmp/expected"
cmp -s "$tmp/expected" "$tmp/err" || { echo "FAIL error text"; cat "$tmp/err"; fail=1; }

"$cli" info --read-max > /dev/null 2>&1; check "usage rc" 2 "$?"
"$cli" info a b > /dev/null 2>&1; check "two files rc" 2 "$?"
"$cli" --help | grep -q 'info \[--read-max N\] \[FILE\]' || { echo "FAIL help"; fail=1; }
"$cli" --version | grep -qE '^trazon-cli [0-9]+\.[0-9]+\.[0-9]+$' || { echo "FAIL version"; fail=1; }

# render reads with the same history limit as info
"$cli" render --read-max x -o "$tmp/x.png" > /dev/null 2>&1; check "render read-max usage rc" 2 "$?"
if [ -n "${DISPLAY:-}" ] && "$cli" render -o "$tmp/all.png" --size 200x150 > /dev/null 2>&1; then
  # the sample's last history is 2; with --read-max 1 only history 1 is read and drawn
  "$cli" render -o "$tmp/one.png" --size 200x150 --read-max 1 > /dev/null; check "render read-max rc" 0 "$?"
  cmp -s "$tmp/all.png" "$tmp/one.png" && { echo "FAIL render --read-max drew the same tracks"; fail=1; }
fi
exit $fail
