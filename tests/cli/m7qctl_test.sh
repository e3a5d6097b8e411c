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
echo "m7qctl: all checks passed"
