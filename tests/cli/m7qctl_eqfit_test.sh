#!/usr/bin/env bash
# m7qctl eq fit end to end: on the simulator the fitted bands go out exactly as eq import of the
# exported text sends them; a dry run sends nothing; bad measurement files and options stop before
# anything is opened; on a mode file only the equaliser changes.
set -u
M="$1"
examples="$(cd "$(dirname "$0")/../../docs/examples" && pwd)"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
sim=("$M" --sim --fast)
sent() { grep '^> ' "$1"; }
positions=("$examples"/front-left-position-{1,2,3}.txt)

"${sim[@]}" --trace "$dir/info.trace" info >/dev/null || fail "info"
readall=$(sent "$dir/info.trace" | wc -l)

# ---- on the processor: the same bytes as importing the export ------------------------------------
"${sim[@]}" --trace "$dir/fit.trace" eq fit out1 "${positions[@]}" --export "$dir/fit.txt" \
    --plot "$dir/fit.svg" >"$dir/out" 2>"$dir/err" || { cat "$dir/err"; fail "eq fit"; }
grep -q '^CH1 EQ (out1): 3 measurements averaged, 1/6-octave smoothing, fit 20 Hz to 500 Hz' "$dir/out" ||
    fail "the fit says what it averaged and fitted"
grep -q '^before: RMS .* dB, largest .* at ' "$dir/out" || fail "errors before"
grep -q '^after:  RMS .* dB, largest .* at ' "$dir/out" || fail "errors after"
grep -qx 'wrote 10 bands to out1' "$dir/out" || fail "the fit says it wrote"
[ "$(grep -c '^Filter [0-9]*: ON PK ' "$dir/fit.txt")" -ge 5 ] || fail "the export holds the bands"
"${sim[@]}" --trace "$dir/import.trace" eq import out1 "$dir/fit.txt" >/dev/null 2>&1 || fail "import the export"
cmp -s <(sent "$dir/fit.trace") <(sent "$dir/import.trace") || fail "the fit sends what eq import of its export sends"
[ "$(sent "$dir/fit.trace" | wc -l)" -eq $((readall + 26)) ] ||
    fail "the fit sends ten bands, band 10 with its three companions: 13 records and 13 biquads"
python3 - "$dir/fit.svg" <<'PY' || fail "the plot is an SVG with four curves"
import sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
assert root.tag.endswith("svg")
assert len([e for e in root.iter() if e.tag.endswith("polyline")]) == 4
PY

# A dry run: the read-all and nothing else; --json says so.
"${sim[@]}" --trace "$dir/dry.trace" eq fit music "${positions[0]}" --dry-run --json --range 30-300 --bands 6 \
    --max-boost 3 --max-q 5 --smooth 1/12 >"$dir/dry.json" || fail "dry run"
[ "$(sent "$dir/dry.trace" | wc -l)" -eq "$readall" ] || fail "a dry run sends nothing"
python3 - "$dir/dry.json" <<'PY' || fail "dry run --json"
import json, sys
j = json.load(open(sys.argv[1]))
assert j["eq"] == "music" and j["sent"] is False and j["range_hz"] == [30, 300], j
assert len(j["bands"]) == 6 and j["smoothing"] == "1/12"
for b in j["bands"]:
    if b["type"] != "OFF":
        assert b["gain_db"] <= 3 and b["q"] <= 5 and 30 <= b["freq_hz"] <= 300, b
assert j["after"]["rms_db"] < j["before"]["rms_db"]
PY

# ---- bad measurement files and options: exit 3 or 2, nothing opened -------------------------------
printf '* ok\n20 70\n30 7O\n' >"$dir/garbled.txt"
printf '20 70\n40 71\n30 72\n' >"$dir/decreasing.txt"
printf '20 70\n' >"$dir/one.txt"
: >"$dir/empty.txt"
head -c 600 /dev/urandom >"$dir/binary.txt"
printf '\0\0' >>"$dir/binary.txt"
for job in "garbled.txt:line 3" "decreasing.txt:line 3" "one.txt:line 1" "empty.txt:no measured points" \
    "binary.txt:not a text file" "missing.txt:No such file"; do
    file=${job%%:*}
    says=${job#*:}
    rm -f "$dir/bad.trace"
    "${sim[@]}" --trace "$dir/bad.trace" eq fit out2 "${positions[0]}" "$dir/$file" >/dev/null 2>"$dir/err"
    [ $? -eq 3 ] || fail "$file exits 3"
    grep -q "$says" "$dir/err" || { cat "$dir/err"; fail "$file: the error says $says"; }
    grep -q 'nothing was changed' "$dir/err" || fail "$file: says nothing changed"
    [ ! -e "$dir/bad.trace" ] || fail "$file sends nothing"
done
"${sim[@]}" eq fit out2 "${positions[0]}" --target "$dir/garbled.txt" >/dev/null 2>"$dir/err"
[ $? -eq 3 ] && grep -q 'garbled.txt: line 3' "$dir/err" || fail "a bad target exits 3 naming its line"
for bad in "--range 500-20" "--range 10-500" "--max-boost 16" "--max-q 0.05" "--smooth 1/0" "--smooth 6" \
    "--bands 11" "--bands 2.5" "--frob 1" "--export"; do
    rm -f "$dir/bad.trace"
    # shellcheck disable=SC2086
    "${sim[@]}" --trace "$dir/bad.trace" eq fit out2 "${positions[0]}" $bad >/dev/null 2>"$dir/err"
    [ $? -eq 2 ] || fail "\"$bad\" is a usage error"
    [ -s "$dir/err" ] || fail "\"$bad\" says why"
    [ ! -e "$dir/bad.trace" ] || fail "\"$bad\" sends nothing"
done
"${sim[@]}" eq fit reverb-a "${positions[0]}" --bands 8 >/dev/null 2>"$dir/err"
[ $? -eq 2 ] && grep -q 'reverb-a has 7 bands' "$dir/err" || fail "more bands than the EQ has"

# ---- on a mode file: only the equaliser's records change; a dry run changes nothing -------------
"${sim[@]}" backup "$dir/preset.vm3zt" >/dev/null || fail "backup"
cp "$dir/preset.vm3zt" "$dir/copy.vm3zt"
"$M" --file "$dir/copy.vm3zt" eq fit music "${positions[@]}" --dry-run >/dev/null || fail "dry run on a file"
cmp -s "$dir/preset.vm3zt" "$dir/copy.vm3zt" || fail "a dry run leaves the file as it was"
"$M" --file "$dir/copy.vm3zt" eq fit music "${positions[@]}" --target "$examples/house-curve.csv" >"$dir/out" ||
    fail "fit into a file"
grep -q "target .*house-curve.csv" "$dir/out" || fail "the fit names its target"
python3 - "$dir/preset.vm3zt" "$dir/copy.vm3zt" <<'PY' || fail "the fit changes only the music EQ of the file"
import sys
a, b = (open(p, "rb").read() for p in sys.argv[1:])
changed = [i for i in range(len(a)) if a[i] != b[i]]
assert changed and all(868 + 336 <= i < 868 + 406 for i in changed), changed[:5]
PY
echo "m7qctl eq fit: all checks passed"
