#!/usr/bin/env bash
# m7qctl against a processor that differs from the start-up values and against the simulator's
# faults: older and cut-short mode files change exactly their areas, a cable pulled inside the
# writes never reads as success, lost replies are asked again, companion writes go out as the
# window sends them.
set -u
M="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
state="$dir/sim.state"
sim=("$M" --sim --sim-state "$state" --fast)
writes() { grep '^> ' "$1"; }

# ---- A processor far from the start-up values, also past the older files' areas ---------------
{ for i in $(seq 10); do echo "Filter $i: ON PK Fc $((i * 150)) Hz Gain -2 dB Q 3"; done; } >"$dir/ten.txt"
"${sim[@]}" set SET_MUSIC_COMP_THRESHOLD -12 SET_MIC_BOOST_ON 1 SET_LPF_DELAY 5 'SET_OUT_LEVEL[3]' 77 \
    'SET_OUT_MIX_MUSIC[2]' 9 >/dev/null || fail "set up the processor"
"${sim[@]}" eq import out8 "$dir/ten.txt" >/dev/null || fail "set up out8"
"${sim[@]}" backup "$dir/before.vm3zt" >/dev/null || fail "backup"
cp "$state" "$dir/base.state"

# Version 1 and 4 files cut by the layout table, a version-8 file cut inside the image, and the
# version-8 image a restore of any of them must leave: the processor's own with the file's changes.
python3 - "$dir" <<'PY' || fail "make the files"
import struct, sys
d = sys.argv[1]
b = bytearray(open(d + "/before.vm3zt", "rb").read())
b[4 + 90 * 4] = 33             # SET_OUT_MIX_MUSIC[2]
b[868 + 406 + 3] ^= 0x20       # CH1 band 1 frequency, low byte
open(d + "/expected.vm3zt", "wb").write(b)
slots, image, blocks = b[4:868], b[868:2121], b[2121:]
open(d + "/v1.vm3zt", "wb").write(struct.pack("<i", 1) + slots[:784] + image[:1246])
open(d + "/v4.vm3zt", "wb").write(struct.pack("<i", 4) + slots[:796] + image[:1246] + blocks[:52])
open(d + "/cut.vm3zt", "wb").write(b[:868 + 600])
PY

"${sim[@]}" --trace "$dir/t-expected" restore "$dir/expected.vm3zt" >/dev/null || fail "restore the v8 file"
for f in v1 v4 cut; do
    cp "$dir/base.state" "$state"
    "${sim[@]}" --trace "$dir/t-$f" restore "$dir/$f.vm3zt" >"$dir/out" 2>"$dir/err" || fail "$f: restore"
    grep -qx "restored $dir/$f.vm3zt" "$dir/out" || fail "$f: says restored"
    grep -q "what it does not hold keeps the processor's values" "$dir/err" || fail "$f: says what it keeps"
    cmp -s <(writes "$dir/t-$f") <(writes "$dir/t-expected") ||
        fail "$f: sends exactly what restoring the processor's settings with the file's changes sends"
    "${sim[@]}" backup "$dir/after-$f.vm3zt" >/dev/null || fail "$f: backup"
    cmp -s "$dir/after-$f.vm3zt" "$dir/expected.vm3zt" || fail "$f: only the file's areas changed"
done

# --file on an older file: it keeps its version and length; what it does not hold is neither
# shown nor changed.
cp "$dir/v4.vm3zt" "$dir/f4.vm3zt"
"$M" --file "$dir/f4.vm3zt" set 'SET_OUT_MIX_MUSIC[3]' 44 >/dev/null || fail "--file set on v4"
python3 - "$dir/v4.vm3zt" "$dir/f4.vm3zt" <<'PY' || fail "--file changes that slot and keeps the version"
import sys
a, b = (open(p, "rb").read() for p in sys.argv[1:])
assert len(a) == len(b) == 2098 and b[:4] == bytes([4, 0, 0, 0]), (len(a), len(b), b[:4])
assert [i for i in range(len(a)) if a[i] != b[i]] == [4 + 91 * 4], [i for i in range(len(a)) if a[i] != b[i]]
PY
cp "$dir/f4.vm3zt" "$dir/f4-kept.vm3zt"
"$M" --file "$dir/f4.vm3zt" set SET_LPF_DELAY 3 >/dev/null 2>"$dir/err"
[ $? -eq 3 ] || fail "--file set of a slot a v4 file lacks exits 3"
grep -q "does not hold SET_LPF_DELAY" "$dir/err" || fail "--file says the file lacks it"
cmp -s "$dir/f4.vm3zt" "$dir/f4-kept.vm3zt" || fail "--file changed nothing"
"$M" --file "$dir/f4.vm3zt" get SET_MIC_VOLUME SET_LPF_DELAY >"$dir/out" 2>"$dir/err"
[ $? -eq 3 ] || fail "--file get of a lacking slot exits 3"
grep -qx 'SET_MIC_VOLUME = [0-9]* %' "$dir/out" && ! grep -q SET_LPF_DELAY "$dir/out" ||
    fail "--file get prints what the file holds and only that"

# ---- Companion writes: the echo time takes the reverb predelay along, as on the effects page ------
"${sim[@]}" --trace "$dir/echo.trace" set SET_ECHO_B_TIME 4 >/dev/null || fail "set the echo time"
pad=$(printf ' 00%.0s' $(seq 51))
[ "$(writes "$dir/echo.trace" | tail -n 3 | head -n 2)" = "$(printf '> 02 09 00 02 17 01 00 00 00 c0%s\n> 02 09 00 03 15 01 00 00 07 80%s' "$pad" "$pad")" ] ||
    fail "echo time 4 ms sends 192 samples, then the predelay's 1920"
"${sim[@]}" get SET_REVERB_B_PREDELAY | grep -qx 'SET_REVERB_B_PREDELAY = 40 ms' || fail "predelay read back"
cp "$dir/before.vm3zt" "$dir/echo.vm3zt"
"$M" --file "$dir/echo.vm3zt" set SET_ECHO_B_TIME 4 >/dev/null || fail "--file echo time"
"$M" --file "$dir/echo.vm3zt" get SET_REVERB_B_PREDELAY | grep -qx 'SET_REVERB_B_PREDELAY = 40 ms' ||
    fail "--file stores the predelay too"
"${sim[@]}" set SET_MIC_A_SHIFT_OFF 1 >/dev/null 2>"$dir/err"
[ $? -eq 2 ] && grep -q "set along with SET_MIC_A_SHIFT" "$dir/err" || fail "the shift switch follows its frequency"

# ---- The cable pulled inside the writes: exit 1, what was applied named, no success printed -------
fsim=("$M" --fast)
"${fsim[@]}" --sim --trace "$dir/info.trace" info >/dev/null || fail "info"
reads=$(($(writes "$dir/info.trace" | wc -l) - 1)) # the read-all, without the disconnect
pulled() { # after, then the command; leaves stdout in out, stderr in err, the exit status in rc
    local after=$1
    shift
    "${fsim[@]}" --sim-fault unplug-after="$after" "$@" >"$dir/out" 2>"$dir/err"
    rc=$?
    [ $rc -eq 1 ] || fail "unplug-after=$after $*: exits 1, not $rc"
}
sets=(set 'SET_MIC_LEVEL[1]' 11 'SET_MIC_LEVEL[2]' 22 'SET_MIC_LEVEL[3]' 33)
pulled $((reads + 1)) "${sets[@]}"
[ ! -s "$dir/out" ] || fail "set: nothing printed when the first write got no answer"
grep -q "sent without an answer, the processor may or may not have it: SET_MIC_LEVEL\[1\]; not sent: SET_MIC_LEVEL\[2\], SET_MIC_LEVEL\[3\]" "$dir/err" ||
    fail "set: the first unanswered, the rest not sent"
pulled $((reads + 2)) "${sets[@]}"
[ "$(cat "$dir/out")" = "SET_MIC_LEVEL[1] = 11 %" ] || fail "set: only the applied value is printed"
grep -q "applied: SET_MIC_LEVEL\[1\]; sent without an answer, .*: SET_MIC_LEVEL\[2\]; not sent: SET_MIC_LEVEL\[3\]" "$dir/err" ||
    fail "set: applied, unanswered and not sent named"
pulled $((reads + 3)) "${sets[@]}"
grep -q "= 33 %" "$dir/out" && fail "set: the last value is not printed as applied"

"${fsim[@]}" --sim --trace "$dir/eq.trace" eq import out1 "$dir/ten.txt" >/dev/null || fail "eq import"
eqw=$(($(writes "$dir/eq.trace" | wc -l) - reads - 1))
for at in 1 $((eqw / 2)) $eqw; do
    pulled $((reads + at)) eq import out1 "$dir/ten.txt"
    grep -q imported "$dir/out" && fail "eq import cut at $at: says imported"
    grep -q "eq import into out1 did not finish (the link to the processor was lost): " "$dir/err" ||
        fail "eq import cut at $at: says it did not finish"
done
grep -q "applied: band 1, band 2, band 3, band 4, band 5, band 6, band 7, band 8, band 9; sent without an answer, .*: band 10$" "$dir/err" ||
    fail "eq import cut at the last write: nine bands applied"

cp "$dir/v4.vm3zt" "$dir/m2 v4.vm3zt"
"${fsim[@]}" --sim --trace "$dir/restore.trace" restore "$dir/m2 v4.vm3zt" >/dev/null 2>&1 || fail "restore m2"
rw=$(($(writes "$dir/restore.trace" | wc -l) - reads - 1))
for at in 1 $((rw / 2)) $((rw - 2)) $rw; do
    pulled $((reads + at)) restore "$dir/m2 v4.vm3zt"
    grep -q restored "$dir/out" && fail "restore cut at $at: says restored"
    grep -q "did not finish (the link to the processor was lost)" "$dir/err" || fail "restore cut at $at: says it did not finish"
done
grep -q "restored .*, but storing it as mode 2 did not finish" "$dir/err" || fail "restore cut at the mode store"

for at in $((reads - 100)) $reads $((reads + 1)); do
    pulled "$at" mode store 2
    grep -q done "$dir/out" && fail "mode store cut at $at: says done"
done
grep -q "mode store M2 did not finish (the link to the processor was lost): it was sent without an answer" "$dir/err" ||
    fail "mode store: the store itself got no answer"
"${fsim[@]}" --sim-fault unplug-after=$((reads + 2)) mode store 2 2>/dev/null | grep -qx 'mode store M2 done' || fail "mode store answered"

# get never prints a value whose reply never came.
pulled 150 get SET_MIC_VOLUME 'SET_OUT_LEVEL[8]'
[ "$(cat "$dir/out")" = "SET_MIC_VOLUME = 50 %" ] || fail "get: what came is printed"
grep -q "not printed, the processor's value never came: SET_OUT_LEVEL\[8\]" "$dir/err" || fail "get names what never came"

# ---- Replies lost in the read-all: asked again, so the output is that of a fault-free run ------------
names=$("$M" dump "$dir/before.vm3zt" | grep -o '^SET_[A-Z0-9_]*\(\[[0-9]\]\)\?' | sort -u)
# shellcheck disable=SC2086
"${fsim[@]}" --sim get $names >"$dir/clean" || fail "get every name"
# shellcheck disable=SC2086
"${fsim[@]}" --sim-fault drop-every=91 get $names >"$dir/dropped" 2>"$dir/err" || fail "get with lost replies"
grep -qE ' [1-9][0-9]* dropped' "$dir/err" || fail "replies were dropped"
cmp -s "$dir/clean" "$dir/dropped" || fail "get prints the values of a fault-free run"
block() { "${fsim[@]}" "$@" --trace "$dir/block.trace" set 'SET_OUT_COMP_THRESHOLD[1]' -20 >/dev/null 2>&1 && grep '^> 02 09' "$dir/block.trace"; }
[ "$(block --sim-fault drop-every=91)" = "$(block --sim)" ] || fail "the compressor block is the fault-free one"
echo "m7qctl faults: all checks passed"
