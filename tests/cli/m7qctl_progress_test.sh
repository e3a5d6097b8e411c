#!/usr/bin/env bash
# A long wait on a terminal: a processor that never answers keeps m7qctl waiting past two seconds;
# on a pseudo-terminal (script) stderr shows what is awaited with the replies in and missing,
# rewritten in place and wiped at the end, then says the processor did not answer (not another
# model). Without a terminal stderr carries the messages only; a short run shows no progress.
set -u
M="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
export LC_ALL=C.UTF-8
command -v script >/dev/null || fail "script (bsdutils) is needed"

# On a terminal: the pty's output, stdout and stderr together, carriage returns kept.
script -qec "$M --fast --sim-fault silent info" /dev/null >"$dir/tty"
rc=$?
[ $rc -eq 1 ] || fail "silent: exit 1, not $rc"
tr '\r' '\n' <"$dir/tty" >"$dir/lines"
grep -E "^m7qctl: reading the processor's settings: 0 replies in, [0-9]+ missing \([0-9]+ s\)" "$dir/lines" >"$dir/progress" ||
    fail "the progress line [$(head -c 300 "$dir/tty")]"
first=$(head -n 1 "$dir/progress")
last=$(tail -n 1 "$dir/progress")
[[ $first == *" (2 s)" || $first == *" (3 s)" ]] || fail "shown once two seconds have passed: $first"
[ "${first//[^0-9 ]/}" != "${last//[^0-9 ]/}" ] || fail "the line is rewritten as the wait goes on"
missing=$(echo "$last" | sed -E 's/.* ([0-9]+) missing.*/\1/')
[ "$missing" -ge 4 ] || fail "the missing replies are counted: $last"
[ "$(sort "$dir/progress" | uniq -d)" = "" ] || fail "a line is written again only when it changes"
grep -qE '^ +$' "$dir/lines" || fail "the line is wiped at the end"
grep -qx "m7qctl: the processor (sim:0) did not answer the model request; run m7qctl doctor to see why" "$dir/lines" ||
    fail "the message after the wait"
grep -qi "model is\|mismatch" "$dir/lines" && fail "no model mismatch is claimed"

# Not a terminal: the same run has a clean stderr.
"$M" --fast --sim-fault silent info >/dev/null 2>"$dir/err"
grep -q $'\r' "$dir/err" && fail "no carriage return without a terminal"
grep -q "replies in" "$dir/err" && fail "no progress without a terminal"
[ "$(grep -c . "$dir/err")" -eq 2 ] || fail "the message and the simulator's counters only: $(cat "$dir/err")"

# A wait under two seconds shows nothing, terminal or not.
script -qec "$M --sim --fast info" /dev/null >"$dir/short" || fail "a short run"
grep -q "replies in" "$dir/short" && fail "a short wait shows no progress"
echo "m7qctl progress: all checks passed"
