#!/usr/bin/env bash
# m7qctl end to end on the simulator: exit codes, the trace format, and a preset that survives
# restore and backup in separate runs.
set -u
M="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
sim=("$M" --sim --sim-state "$dir/sim.state" --fast)

"$M" >/dev/null 2>&1; [ $? -eq 2 ] || fail "no command is a usage error"
"$M" frobnicate >/dev/null 2>&1; [ $? -eq 2 ] || fail "unknown command"
"$M" mode load 5 --sim >/dev/null 2>&1; [ $? -eq 2 ] || fail "mode 5"
"$M" dump /etc/hostname >/dev/null 2>&1; [ $? -eq 3 ] || fail "foreign file"
"${sim[@]}" backup "$dir/missing/x.vm3zt" >/dev/null 2>&1; [ $? -eq 3 ] || fail "unwritable backup"

"${sim[@]}" --trace "$dir/trace" info >"$dir/info" || fail "info"
grep -q '^model: M7Q$' "$dir/info" || fail "info shows the model"
grep -q '^command-set version: 18$' "$dir/info" || fail "info shows the version"
grep -vqE '^([<>] [0-9a-f]{2}( [0-9a-f]{2}){60}|# merged [0-9]+)$' "$dir/trace" && fail "trace line format"
[ "$(tail -n 1 "$dir/trace")" = "# merged 0" ] || fail "trace ends with the merge count"
[ "$(grep -c '^> ' "$dir/trace")" -ge 225 ] || fail "trace holds the read-all"

"${sim[@]}" backup "$dir/a.vm3zt" >/dev/null || fail "backup"
[ "$(stat -c %s "$dir/a.vm3zt")" -eq 2175 ] || fail "backup size"
python3 - "$dir" <<'PY' || fail "edit preset"
import sys
d = sys.argv[1]
b = bytearray(open(d + "/a.vm3zt", "rb").read())
b[4 + 89 * 4] = 33          # SET_OUT_MIX_MUSIC[1], little-endian slot
b[868 + 406 + 3] = 0x40     # CH1 band 0 frequency low byte
open(d + "/m3 party.vm3zt", "wb").write(b)
PY
"${sim[@]}" restore "$dir/m3 party.vm3zt" | grep -q 'mode 3' || fail "restore stores mode 3"
"${sim[@]}" backup "$dir/b.vm3zt" >/dev/null || fail "second backup"
cmp -s "$dir/m3 party.vm3zt" "$dir/b.vm3zt" || fail "restore then backup gives the preset back"
"${sim[@]}" info | grep -q '^current mode: M3$' || fail "mode 3 current"
"$M" dump "$dir/b.vm3zt" | grep -q '^SET_OUT_MIX_MUSIC\[1\] = 33 %$' || fail "dump text"
"$M" dump --json "$dir/b.vm3zt" | python3 -c 'import json,sys; j=json.load(sys.stdin); assert j["slots"]["SET_OUT_MIX_MUSIC[1]"]==33; assert len(j["eqs"])==16' || fail "dump json"

# The simulator's faults from the command line. A backup never holds values the processor did not send.
fsim=("$M" --fast)
for bad in "latency=|\"latency=\"" "drop=2|\"drop=2\"" "bogus|\"bogus\"" "silent,seed=x|\"seed=x\"" \
    "drop=0.1,,silent|empty item" "any-code|any-code"; do
    "${fsim[@]}" --sim-fault "${bad%%|*}" backup "$dir/bad.vm3zt" 2>"$dir/err"; rc=$?
    [ $rc -eq 2 ] || fail "malformed fault list '${bad%%|*}' exits 2, not $rc"
    grep -qF -- "${bad#*|}" "$dir/err" || fail "the message for '${bad%%|*}' says ${bad#*|}"
done
[ -e "$dir/bad.vm3zt" ] && fail "a usage error writes nothing"

"${fsim[@]}" --sim backup "$dir/clean.vm3zt" >/dev/null 2>"$dir/err" || fail "clean backup"
grep -q "reports received" "$dir/err" && fail "no counters without faults"
printf 'keep' >"$dir/kept.vm3zt"
must_fail() { # faults, what the message must say, and "kept" to try over an existing file too
    "${fsim[@]}" --sim-fault "$1" backup "$dir/f.vm3zt" >/dev/null 2>"$dir/err"; rc=$?
    [ $rc -eq 1 ] || fail "$1: backup exits 1, not $rc"
    [ -e "$dir/f.vm3zt" ] && fail "$1: backup wrote a file"
    grep -qF -- "$2" "$dir/err" || fail "$1: the message says '$2'"
    grep -qE "^m7qctl: simulated processor \($1\): [0-9]+ reports received, [0-9]+ replies, [0-9]+ dropped, [0-9]+ garbage, [0-9]+ delivered$" "$dir/err" ||
        fail "$1: the counters line"
    if [ "${3:-}" = kept ]; then
        "${fsim[@]}" --sim-fault "$1" backup "$dir/kept.vm3zt" >/dev/null 2>&1
        [ "$(cat "$dir/kept.vm3zt")" = keep ] || fail "$1: an existing file was changed"
    fi
}
must_fail unplug-after=100 "the link to the processor was lost; no answer for" kept
must_fail wrong-model 'the processor'"'"'s model is "M5X": this console works with "M7Q" only' kept
grep -q '机器' "$dir/err" && fail "wrong-model: the CLI's own words, not the window's box text"
must_fail version=17 "command-set version 17, this console speaks 18"
"${fsim[@]}" --sim-fault version=17 --trace "$dir/t17" info >/dev/null 2>&1
grep -q "^> 02 80 " "$dir/t17" || fail "version 17: the identification is traced"
grep -qE '^> 02 (0a|86) ' "$dir/t17" && fail "version 17 reads no parameter or memory"
# No answer is said as such, not as another model.
must_fail drop=1 "the processor (sim:0) did not answer the model request; run m7qctl doctor to see why"
grep -qi "model is\|mismatch\|机器" "$dir/err" && fail "drop=1: no model mismatch is claimed"

"${fsim[@]}" --sim-fault drop=0.05,seed=7 backup "$dir/d.vm3zt" >/dev/null 2>"$dir/err" || fail "backup with drops"
grep -qE ' [1-9][0-9]* dropped' "$dir/err" || fail "replies were dropped"
cmp -s "$dir/clean.vm3zt" "$dir/d.vm3zt" || fail "what did not answer is asked again: the same backup"

"${fsim[@]}" --sim-fault garbage-every=3,any-code backup "$dir/g.vm3zt" >/dev/null 2>"$dir/err"; rc=$?
[ $rc -le 1 ] || fail "garbage: exit $rc"
grep -qE ' [1-9][0-9]* garbage' "$dir/err" || fail "garbage was sent"
echo "m7qctl: all checks passed"
