#!/usr/bin/env bash
# m7qctl doctor on the simulated processor, dump's band numbers and zeros, and eq import --preamp apply.
set -u
M="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# doctor: its exit status is the finding; the simulated processor is asked without the device checks.
"$M" --sim doctor >"$dir/out"; rc=$?
[ $rc -eq 0 ] || fail "doctor on a working processor exits 0, not $rc"
[ "$(cat "$dir/out")" = $'device: the simulated processor (no USB checks)\nanswers: model "M7Q", command-set version 18\nall well: m7q-console and m7qctl can use the processor' ] ||
    fail "doctor's report: $(cat "$dir/out")"
for fault in "version=17|7|command-set version 17" "wrong-model|7|model \"M5X\"" "silent|6|no answer to the model request"; do
    IFS='|' read -r list status says <<<"$fault"
    "$M" --sim-fault "$list" doctor >"$dir/out" 2>/dev/null; rc=$?
    [ $rc -eq "$status" ] || fail "doctor with $list exits $status, not $rc"
    grep -qF -- "$says" "$dir/out" || fail "doctor with $list says '$says'"
done
"$M" doctor now >/dev/null 2>&1; [ $? -eq 2 ] || fail "doctor takes no arguments"

# dump: bands numbered from 1 as eq show numbers them, JSON bands with their number, never "-0".
"$M" --sim --fast backup "$dir/p.vm3zt" >/dev/null || fail "backup"
python3 - "$dir/p.vm3zt" <<'PY' || fail "edit preset"
import struct, sys
b = bytearray(open(sys.argv[1], "rb").read())
b[4 + 121 * 4:8 + 121 * 4] = struct.pack("<I", 0x80000000)  # SET_OUT_COMP_THRESHOLD[1] = -0.0
open(sys.argv[1], "wb").write(b)
PY
"$M" dump "$dir/p.vm3zt" >"$dir/dump" || fail "dump"
grep -q '^band  0:' "$dir/dump" && fail "dump numbers bands from 1"
[ "$(grep -c '^band  1:' "$dir/dump")" -eq 16 ] || fail "every equaliser has a band 1"
[ "$(grep -c '^band 15:' "$dir/dump")" -eq 8 ] || fail "the output equalisers end at band 15"
grep -qx 'SET_OUT_COMP_THRESHOLD\[1\] = 0 dB' "$dir/dump" || fail "a negative zero is printed as 0"
grep -qE '(^|[^0-9.])-0(\.0+)?([^0-9.]|$)' "$dir/dump" && fail "dump prints -0: $(grep -E '(^|[^0-9.])-0(\.0+)?([^0-9.]|$)' "$dir/dump" | head -1)"
"$M" dump --json "$dir/p.vm3zt" | python3 -c '
import json, sys
j = json.load(sys.stdin)
for eq in j["eqs"]:
    assert [b["band"] for b in eq["bands"]] == list(range(1, len(eq["bands"]) + 1)), eq["name"]
assert j["slots"]["SET_OUT_COMP_THRESHOLD[1]"] == 0
' || fail "dump --json numbers its bands"

# eq import --preamp apply lowers the output channel's level by the Preamp, rounded down.
printf 'Preamp: -6.0 dB\nFilter 1: ON PK Fc 63 Hz Gain 6 dB Q 2\n' >"$dir/f.txt"
sim=("$M" --sim --sim-state "$dir/sim.state" --fast)
"${sim[@]}" eq import out3 "$dir/f.txt" >"$dir/out" 2>"$dir/err" || fail "import without --preamp"
grep -qF "line 1: Preamp -6.0 dB: the filters raise the signal by up to 6.0 dB and need that much headroom, which the import does not make by itself; lower the channel's level SET_OUT_LEVEL[3] by 6.0 dB (the level slider of the sound-field page), or add --preamp apply" "$dir/err" ||
    fail "the Preamp line is named with what to do: $(cat "$dir/err")"
"${sim[@]}" get 'SET_OUT_LEVEL[3]' | grep -qx 'SET_OUT_LEVEL\[3\] = 100 %' || fail "without --preamp apply the level stays"
"${sim[@]}" eq import out3 "$dir/f.txt" --preamp apply >"$dir/out" 2>"$dir/err" || fail "import --preamp apply"
grep -qx "SET_OUT_LEVEL\[3\] = 50 % (lowered for the filters' Preamp -6 dB)" "$dir/out" || fail "what was lowered: $(cat "$dir/out")"
[ -s "$dir/err" ] && fail "nothing more to advise: $(cat "$dir/err")"
"${sim[@]}" get 'SET_OUT_LEVEL[3]' | grep -qx 'SET_OUT_LEVEL\[3\] = 50 %' || fail "the processor holds the lowered level"
"$M" --file "$dir/p.vm3zt" eq import out1 "$dir/f.txt" --preamp apply >/dev/null 2>&1 || fail "--preamp apply on a mode file"
"$M" dump "$dir/p.vm3zt" | grep -qx 'SET_OUT_LEVEL\[1\] = 50 %' || fail "the mode file holds the lowered level"
"$M" --file "$dir/p.vm3zt" eq import music "$dir/f.txt" --preamp apply >/dev/null 2>"$dir/err"; rc=$?
[ $rc -eq 2 ] || fail "music has no level: exit 2, not $rc"
grep -qF "music has no level of its own; --preamp apply works on out1..out8" "$dir/err" || fail "says why"
"$M" --sim --fast eq show out1 --preamp apply >/dev/null 2>&1; [ $? -eq 2 ] || fail "--preamp belongs to eq import"
echo "m7qctl tools: all checks passed"
