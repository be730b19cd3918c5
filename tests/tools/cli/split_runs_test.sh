#!/usr/bin/env bash
# check and volume split with --part I/N and put together with merge give, byte for byte, what
# the whole run gives: for N = 1, 2, 3 and 7, on one thread and on all cores, with the parts
# in any order; and merge refuses parts that do not make one run.
#   split_runs_test.sh TRAZON_CLI
set -uo pipefail
cli="$1"
work=$(mktemp -d "${TMPDIR:-/tmp}/trazon-split.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "split: $*" >&2; failures=$((failures + 1)); }

# Sphere Z1 with a small box across its surface that no zone holds (a few of the rays from
# the middle find it), a box Z2 overlapping a sphere Z3 near x = 14, all inside a void world
# sphere Z4 of r 30.
cat >"$work/geo.dat" <<'DATA'
CSTA-FREE
SPH 1 0 0 0 5
RPP 2 4.9 7 -0.5 0.5 -0.5 0.5
RPP 3 10 14 -2 2 -2 2
SPH 4 14 0 0 1.5
SPH 5 0 0 0 30
END
Z1 1 -2
Z2 3
Z3 4
Z4 5 -1 -2 -3 -4
END
CEND
MSTA
4
1 2 3 0
MEND
DATA

# run_split NAME N THREADS WHOLE_ARGS...: the whole run against its N parts merged
run_split() {
  local name="$1" n="$2" threads="$3"; shift 3
  local kind="$1"; shift
  local dir="$work/$name-$n-$threads"
  mkdir -p "$dir"
  local -a extra=()
  [ "$kind" = volume ] && extra=(-o "$dir/whole.dat")
  "$cli" "$kind" "$work/geo.dat" "$@" --threads "$threads" "${extra[@]}" >"$dir/whole.txt" ||
    { fail "$name: the whole run failed"; return; }
  local parts=()
  for i in $(seq 1 "$n"); do
    if [ "$kind" = volume ]; then
      "$cli" volume "$work/geo.dat" "$@" --threads "$threads" --part "$i/$n" -o "$dir/part$i" \
        >"$dir/part$i.out" || { fail "$name: part $i/$n failed"; return; }
      [ -s "$dir/part$i.out" ] && fail "$name: part $i/$n printed to standard output"
    else
      "$cli" check "$work/geo.dat" "$@" --threads "$threads" --part "$i/$n" >"$dir/part$i" ||
        { fail "$name: part $i/$n failed"; return; }
    fi
    parts=("$dir/part$i" "${parts[@]}") # the merge gets them in reverse order
  done
  extra=()
  [ "$kind" = volume ] && extra=(-o "$dir/merged.dat")
  "$cli" merge "${parts[@]}" "${extra[@]}" >"$dir/merged.txt" ||
    { fail "$name: merge of $n parts failed"; return; }
  cmp -s "$dir/whole.txt" "$dir/merged.txt" ||
    fail "$name: $n parts, threads $threads: merged output differs: $(diff "$dir/whole.txt" "$dir/merged.txt" | head -5)"
  if [ "$kind" = volume ]; then
    cmp -s "$dir/whole.dat" "$dir/merged.dat" || fail "$name: $n parts: result files differ"
  fi
}

for n in 1 2 3 7; do
  for threads in 1 0; do
    # few errors: the run ends with "Check End"
    run_split check-end "$n" "$threads" check --rays 500 --start -1 1 -1 1 -1 1
    # the tenth error stops the run, in some part after the first
    run_split check-stop "$n" "$threads" check --rays 6000 --start -1 1 -1 1 -1 1
    # no error at all, and fewer rays than parts
    run_split check-clean "$n" "$threads" check --rays 5 --start 1 2 1 2 1 2 --phi 80 90
    # every level up to the highest without converging, all zones ticked
    run_split volume-all "$n" "$threads" volume --level 5 --box -31 31 -31 31 -31 31 --zones all
    # converging before the highest level
    run_split volume-conv "$n" "$threads" volume --level 7 --box 9 15 -3 3 -3 3 \
      --ratio 0.9 1.1 --agree 0.8 1.2 --zones Z2
  done
done
grep -q "Stop by error count is 10 over" "$work/check-stop-3-1/whole.txt" ||
  fail "check-stop did not stop at ten errors"
grep -q "Check End" "$work/check-end-3-1/whole.txt" || fail "check-end did not end"
grep -q "error count = [1-9]" "$work/check-end-3-1/whole.txt" || fail "check-end found no error"
grep -q "^100%$" "$work/volume-all-3-1/whole.txt" || fail "volume-all converged"
grep -q "nlp=" "$work/volume-conv-3-1/whole.txt" || fail "volume-conv did not converge early"
# the stop comes from a later part: its first part alone has fewer than ten errors
[ "$(grep -c '^error ' "$work/check-stop-7-1/part1")" -lt 10 ] ||
  fail "check-stop: the first of 7 parts holds all ten errors already"

# refusals: exit 1 with a message naming the problem
d="$work/check-end-3-1"
expect_refusal() {
  local what="$1" pattern="$2"; shift 2
  "$cli" merge "$@" >"$work/out.txt" 2>"$work/err.txt"
  local rc=$?
  [ $rc -eq 1 ] || fail "$what: exit $rc"
  grep -q "$pattern" "$work/err.txt" || fail "$what: message '$(cat "$work/err.txt")'"
}
expect_refusal "missing part" "part 2/3 is missing" "$d/part1" "$d/part3"
expect_refusal "doubled part" "are both part 1/3" "$d/part1" "$d/part1" "$d/part3"
head -n -1 "$d/part2" >"$work/cut"
expect_refusal "cut short" "cut short" "$d/part1" "$work/cut" "$d/part3"
expect_refusal "other run" "another run" "$d/part1" "$work/check-stop-3-1/part2" "$d/part3"
expect_refusal "other kind" "another run" "$d/part1" "$work/volume-all-3-1/part2" "$d/part3"
sed 's/^rays .*/rays 0 5/' "$d/part2" >"$work/bad"
expect_refusal "bad range" "line 4" "$d/part1" "$work/bad" "$d/part3"
echo "hello" >"$work/junk"
expect_refusal "no part file" "not a part file" "$work/junk"
"$cli" merge "$d/part1" "$d/part2" "$d/part3" -o "$work/r.dat" >/dev/null 2>&1
[ $? -eq 2 ] || fail "merge -o of check parts is not a usage error"
"$cli" check "$work/geo.dat" --part 4/3 >/dev/null 2>&1
[ $? -eq 2 ] || fail "--part 4/3 is not a usage error"
"$cli" check "$work/geo.dat" -o "$work/x" >/dev/null 2>&1
[ $? -eq 2 ] || fail "check -o without --part is not a usage error"

if [ $failures -eq 0 ]; then echo "split: all cases passed"; else exit 1; fi
