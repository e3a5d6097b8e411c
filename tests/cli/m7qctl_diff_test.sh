#!/usr/bin/env bash
# m7qctl diff and verify: two mode files made to differ in known settings list exactly those, in
# the window's units and write-all order; equal ones exit 0; a change the simulated processor makes
# behind the console's back is found by verify; bad arguments, files and a missing processor say so.
set -u
M="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
export LC_ALL=C.UTF-8
"$M" --sim --fast backup "$dir/a.vm3zt" >/dev/null || fail "backup"
cp "$dir/a.vm3zt" "$dir/b.vm3zt"
"$M" diff "$dir/a.vm3zt" "$dir/b.vm3zt" >"$dir/out"; rc=$?
[ $rc -eq 0 ] || fail "equal files exit 0, not $rc"
[ "$(cat "$dir/out")" = "no differences" ] || fail "equal: $(cat "$dir/out")"

"$M" --file "$dir/b.vm3zt" set 'SET_OUT_MUTE[3]' 1 'SET_ECHO_A_TIME' 120 >/dev/null || fail "set"
printf 'Filter 1: ON PK Fc 250 Hz Gain -3.5 dB Q 2.25\n' >"$dir/f.txt"
"$M" --file "$dir/b.vm3zt" eq import music "$dir/f.txt" >/dev/null || fail "import"
"$M" diff "$dir/a.vm3zt" "$dir/b.vm3zt" >"$dir/out"; rc=$?
[ $rc -eq 1 ] || fail "differing files exit 1, not $rc"
head -3 "$dir/out" >"$dir/first"
cat >"$dir/want" <<'TXT'
SET_OUT_MUTE[3]: 0 → 1
SET_ECHO_A_TIME: 217 ms → 120 ms
music band 1: PEQ 31 Hz +0.0 dB Q 1.414 → PEQ 250 Hz -3.5 dB Q 2.250
TXT
diff -u "$dir/want" "$dir/first" || fail "the differences"
# The import set the other nine bands off: ten bands in all, nothing else.
[ "$(grep -c '^music band ' "$dir/out")" -eq 10 ] || fail "ten music bands"
[ "$(wc -l <"$dir/out")" -eq 12 ] || fail "nothing else differs: $(cat "$dir/out")"
"$M" diff "$dir/a.vm3zt" "$dir/b.vm3zt" --json >"$dir/json"
python3 - "$dir/json" <<'PY' || fail "json"
import json, sys
d = json.load(open(sys.argv[1]))
assert d["differences"][0] == {"setting": "SET_OUT_MUTE[3]", "a": "0", "b": "1"}, d["differences"][0]
assert len(d["differences"]) == 12
PY

# verify: the processor as saved, then after it changed by itself.
"$M" --sim --fast verify "$dir/a.vm3zt" >"$dir/out" || fail "verify of the processor's own backup"
"$M" --sim --fast --sim-fault drift-after=1 verify "$dir/a.vm3zt" >"$dir/out" 2>/dev/null; rc=$?
[ $rc -eq 1 ] || fail "drift: verify exits 1, not $rc"
grep -q "^music band 1: PEQ 31 Hz +3.0 dB" "$dir/out" || fail "drift: the band [$(cat "$dir/out")]"
grep -q "^SET_MUSIC_VOLUME: " "$dir/out" || fail "drift: the volume"
[ "$(wc -l <"$dir/out")" -eq 2 ] || fail "drift: nothing else"

# Usage, files, no processor.
"$M" diff "$dir/a.vm3zt" 2>"$dir/err"; rc=$?
[ $rc -eq 2 ] || fail "one side: exit 2, not $rc"
grep -q "usage: m7qctl \[OPTIONS\] diff A B" "$dir/err" || fail "the synopsis"
"$M" diff "$dir/a.vm3zt" "$dir/none.vm3zt" 2>/dev/null; rc=$?
[ $rc -eq 3 ] || fail "missing file: exit 3, not $rc"
"$M" --sim --sim-fault silent diff device "$dir/a.vm3zt" 2>/dev/null; rc=$?
[ $rc -eq 4 ] || fail "no answer: exit 4, not $rc"
"$M" --sim --fast --sim-fault unplug-after=100 verify "$dir/a.vm3zt" 2>/dev/null; rc=$?
[ $rc -eq 4 ] || fail "reads missing: exit 4, not $rc"
echo ok
