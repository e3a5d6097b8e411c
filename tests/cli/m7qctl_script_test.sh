#!/usr/bin/env bash
# m7qctl get, set and eq end to end: on the simulator (what goes on the wire, read back in a later
# run) and offline on mode files (--file changes one slot and nothing else; a bad filter file
# changes nothing).
set -u
M="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
sim=("$M" --sim --sim-state "$dir/sim.state" --fast)
sent() { grep -c '^> ' "$1"; }

# ---- get and set on the processor -------------------------------------------------------------
"${sim[@]}" --trace "$dir/info.trace" info >/dev/null || fail "info"
readall=$(sent "$dir/info.trace") # the read-all and the disconnect

"${sim[@]}" --trace "$dir/set.trace" set SET_MIC_VOLUME 60 >"$dir/out" || fail "set"
grep -qx 'SET_MIC_VOLUME = 60 %' "$dir/out" || fail "set prints the new value"
[ "$(sent "$dir/set.trace")" -eq $((readall + 1)) ] || fail "set sends one report after the read-all"
want="> 02 09 00 01 0e 01 3f 19 ba 5f$(printf ' 00%.0s' $(seq 51))"
[ "$(grep '^> ' "$dir/set.trace" | tail -n 2 | head -n 1)" = "$want" ] || fail "set sends the slot's report"
"${sim[@]}" get SET_MIC_VOLUME | grep -qx 'SET_MIC_VOLUME = 60 %' || fail "get reads 60 back"
"${sim[@]}" get set_mic_volume 'SET_MIC_LEVEL[2]' --json |
    python3 -c 'import json,sys; j=json.load(sys.stdin); assert j=={"SET_MIC_VOLUME":60,"SET_MIC_LEVEL[2]":j["SET_MIC_LEVEL[2]"]}' ||
    fail "get --json"

"${sim[@]}" --trace "$dir/comp.trace" set 'SET_OUT_COMP_RATIO[1]' 4 >/dev/null || fail "set a compressor value"
grep '^> ' "$dir/comp.trace" | tail -n 2 | head -n 1 | grep -q '^> 02 09 00 05 1b 07 ' ||
    fail "a compressor value sends the whole block"
"${sim[@]}" get 'SET_OUT_COMP_RATIO[1]' | grep -qx 'SET_OUT_COMP_RATIO\[1\] = 4 :1' || fail "ratio read back"

for bad in "set SET_MIC_VOLUMEX 60" "set SET_MIC_VOLUME sixty" "set SET_MIC_VOLUME 150" "set SET_MIC_VOLUME 6e" \
    "set SET_MIC_VOLUME" "get SET_NOTHING" "get" "set SET_MIC_BOOST_ON2 1" "eq show out9" "eq frob music" \
    "set SET_MIC_VOLUME nan" "eq export music $dir/x.txt --json" "set SET_MUSIC_PITCH 250" \
    "set SET_OUT_ROLE[1] 9" "set SET_HDMI_PORT 7" "set SET_OUT_DELAY[1] 5000" "set SET_OUT_COMP_RATIO[1] 500" \
    "set SET_REVERB_A_TIME 100" "set LISTENER_X 9"; do
    rm -f "$dir/bad.trace"
    # shellcheck disable=SC2086
    "${sim[@]}" --trace "$dir/bad.trace" $bad >/dev/null 2>"$dir/err"
    [ $? -eq 2 ] || fail "\"$bad\" is a usage error"
    [ -s "$dir/err" ] || fail "\"$bad\" says why"
    [ ! -e "$dir/bad.trace" ] || fail "\"$bad\" sends nothing"
done

# The window's ranges and units: the features dialog's low-frequency gain to 300 %, a reverb time in
# ms as the effects page shows it, and the image's settings the window edits.
"${sim[@]}" --trace "$dir/lpf.trace" set SET_LPF_GAIN 250 >/dev/null || fail "LPF gain 250 %"
[ "$(grep '^> ' "$dir/lpf.trace" | tail -n 2 | head -n 1)" = "> 02 09 00 04 25 01 40 20 00 00$(printf ' 00%.0s' $(seq 51))" ] ||
    fail "LPF gain 250 % sends 2.5"
"${sim[@]}" set SET_REVERB_A_TIME 90ms 'SET_MIC_GATE[1]' 37 'SET_OUT_ROLE[2]' CH-SUB LPF_FREQ 80 \
    MIC_BOOST_GAIN 6 'SURROUND_LEVEL[3]' -4.5 >/dev/null || fail "set in the window's units"
"${sim[@]}" get SET_REVERB_A_TIME 'SET_MIC_GATE[1]' 'SET_OUT_ROLE[2]' LPF_FREQ MIC_BOOST_GAIN 'SURROUND_LEVEL[3]' >"$dir/out" ||
    fail "get in the window's units"
printf 'SET_REVERB_A_TIME = 89.6 ms\nSET_MIC_GATE[1] = 37\nSET_OUT_ROLE[2] = 4\nLPF_FREQ = 80 Hz\nMIC_BOOST_GAIN = 6 dB\nSURROUND_LEVEL[3] = -4.5 dB\n' |
    cmp -s - "$dir/out" || fail "read back in a later run: $(cat "$dir/out")"

# ---- filter files ---------------------------------------------------------------------------
# A measurement program's export for one channel, written by hand in its syntax.
cat >"$dir/measured.txt" <<'EOF'
Filter Settings file

Measurement V5.31.3
Dated: 03-Mar-2025 16:40:02

Notes:Subwoofer corner, 6 positions

Equaliser: Generic
Average 6
Filter  1: ON  PK       Fc   24.80 Hz  Gain   6.00 dB  Q  3.200
Filter  2: ON  PK       Fc   33.10 Hz  Gain -12.40 dB  Q  8.750
Filter  3: ON  PK       Fc   45.70 Hz  Gain -18.00 dB  Q 11.300
Filter  4: ON  PK       Fc   52.00 Hz  Gain  -3.30 dB  Q  6.010
Filter  5: ON  PK       Fc   61.40 Hz  Gain  -8.90 dB  Q 14.100
Filter  6: ON  PK       Fc   77.20 Hz  Gain  -2.10 dB  Q  4.440
Filter  7: ON  PK       Fc   88.80 Hz  Gain  -5.70 dB  Q 33.000
Filter  8: ON  PK       Fc   101.0 Hz  Gain  -1.80 dB  Q  2.900
Filter  9: ON  PK       Fc   9.500 Hz  Gain   1.00 dB  Q  1.000
Filter 10: ON  PK       Fc   142.5 Hz  Gain  -2.60 dB  Q  5.000
Filter 11: OFF None
Filter 12: OFF None
Filter 13: OFF None
Filter 14: OFF None
Filter 15: OFF None
EOF
"${sim[@]}" eq import out4 "$dir/measured.txt" >"$dir/out" 2>"$dir/err" || fail "measured filters import"
grep -q 'imported 15 filters into out4 (10 bands written)' "$dir/out" || fail "import says what it did"
for line in 12 16 18 20 21 22 23 24; do
    grep -q "measured.txt: line $line: " "$dir/err" || fail "a warning names line $line"
done
[ "$(wc -l <"$dir/err")" -eq 8 ] || fail "eight warnings"
"${sim[@]}" eq show out4 >"$dir/show" || fail "eq show"
grep -qx 'band  3: PEQ -15.0 dB     45 Hz  Q 11.300' "$dir/show" || fail "held gain shown"
grep -qx 'band  9: PEQ  +1.0 dB     20 Hz  Q 1.000' "$dir/show" || fail "held frequency shown"
"${sim[@]}" eq show out4 --json | python3 -c 'import json,sys; j=json.load(sys.stdin); assert j["eq"]=="out4" and len(j["bands"])==10 and j["bands"][6]["q"]==30' ||
    fail "eq show --json"

"${sim[@]}" eq export out4 "$dir/e1.txt" >/dev/null || fail "export"
grep -qx 'Filter 2: ON PK Fc 33 Hz Gain -12.4 dB Q 8.750' "$dir/e1.txt" || fail "export line"
"${sim[@]}" eq import out4 "$dir/e1.txt" >/dev/null 2>&1 || fail "import the export"
"${sim[@]}" eq export out4 "$dir/e2.txt" >/dev/null || fail "export again"
cmp -s "$dir/e1.txt" "$dir/e2.txt" || fail "export, import, export gives the same text"

# Bad filter files: exit 3, nothing sent, the mode file untouched.
"${sim[@]}" backup "$dir/preset.vm3zt" >/dev/null || fail "backup"
{ for i in $(seq 11); do echo "Filter $i: ON PK Fc $((i * 100)) Hz Gain -1 dB Q 2"; done; } >"$dir/eleven.txt"
head -n 8 "$dir/eleven.txt" >"$dir/eight.txt"
printf 'Filter 1: ON PK Fc 63 Hz Gain -5 dB Q 4\nFilter 2: ON BP Fc 300 Hz Q 2\n' >"$dir/bp.txt"
printf 'Filter 1: ON PK Fc 63 Hz Gain -5 dB Q 4\nFilter 2: ON PK Fc 3OO Hz Gain -1 dB Q 2\n' >"$dir/garbled.txt"
for job in "music eleven.txt:line 11" "echo-a eight.txt:line 8" "mic-b bp.txt:line 2" "out8 garbled.txt:line 2"; do
    eq=${job%% *}
    rest=${job#* }
    file=${rest%%:*}
    where=${rest#*:}
    cp "$dir/preset.vm3zt" "$dir/copy.vm3zt"
    "$M" --file "$dir/copy.vm3zt" eq import "$eq" "$dir/$file" >/dev/null 2>"$dir/err"
    [ $? -eq 3 ] || fail "$file into $eq exits 3"
    grep -q "$file: $where: " "$dir/err" || fail "$file: the error names $where"
    cmp -s "$dir/preset.vm3zt" "$dir/copy.vm3zt" || fail "$file leaves the mode file as it was"
    rm -f "$dir/bad.trace"
    "${sim[@]}" --trace "$dir/bad.trace" eq import "$eq" "$dir/$file" >/dev/null 2>&1
    [ $? -eq 3 ] || fail "$file into $eq on the processor exits 3"
    [ ! -e "$dir/bad.trace" ] || fail "$file sends nothing"
done
"$M" --file "$dir/copy.vm3zt" eq import music "$dir/none.txt" >/dev/null 2>&1
[ $? -eq 3 ] || fail "a missing filter file exits 3"

# ---- offline on a mode file --------------------------------------------------------------------
cp "$dir/preset.vm3zt" "$dir/copy.vm3zt"
"$M" --file "$dir/copy.vm3zt" set 'SET_OUT_MIX_MUSIC[2]' 33 SET_MUSIC_PITCH -2 >/dev/null || fail "set on a file"
"$M" --file "$dir/copy.vm3zt" get 'SET_OUT_MIX_MUSIC[2]' SET_MUSIC_PITCH >"$dir/out" || fail "get on a file"
printf 'SET_OUT_MIX_MUSIC[2] = 33 %%\nSET_MUSIC_PITCH = -2\n' | cmp -s - "$dir/out" || fail "get on a file reads the values"
python3 - "$dir/preset.vm3zt" "$dir/copy.vm3zt" <<'PY' || fail "set on a file changes those slots and nothing else"
import struct, sys
a, b = (open(p, "rb").read() for p in sys.argv[1:])
assert len(a) == len(b) == 2175, (len(a), len(b))
changed = {i for i in range(len(a)) if a[i] != b[i]}
slots = {4 + 90 * 4 + k for k in range(4)} | {4 + 62 * 4 + k for k in range(4)}
assert changed and changed <= slots, sorted(changed)
assert struct.unpack_from("<i", b, 4 + 90 * 4)[0] == 33
assert struct.unpack_from("<i", b, 4 + 62 * 4)[0] == -2
PY
cp "$dir/preset.vm3zt" "$dir/copy.vm3zt"
"$M" --file "$dir/copy.vm3zt" eq import music "$dir/measured.txt" >/dev/null 2>&1 || fail "import into a file"
python3 - "$dir/preset.vm3zt" "$dir/copy.vm3zt" <<'PY' || fail "import into a file changes only the music EQ"
import sys
a, b = (open(p, "rb").read() for p in sys.argv[1:])
changed = [i for i in range(len(a)) if a[i] != b[i]]
assert changed and all(868 + 336 <= i < 868 + 406 for i in changed), changed[:5]
PY
"$M" --file "$dir/copy.vm3zt" eq show music | grep -qx 'band  2: PEQ -12.4 dB     33 Hz  Q 8.750' || fail "show on a file"
"$M" --file "$dir/copy.vm3zt" info >/dev/null 2>&1
[ $? -eq 2 ] || fail "--file with info is a usage error"
"$M" --file "$dir/missing.vm3zt" get SET_MIC_VOLUME >/dev/null 2>&1
[ $? -eq 3 ] || fail "a missing mode file exits 3"
echo "m7qctl scripting: all checks passed"
