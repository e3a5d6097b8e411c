#!/usr/bin/env bash
# What m7qctl says about mode files that are not quite what they claim and processors whose memory
# holds nothing: a restore of a file that goes on past its version is refused before anything is
# sent, a cut-short one is restored and said to be; a backup of erased memory writes nothing; a music
# source a mode file cannot keep is refused with --file and named on restore.
set -u
M="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
export LC_ALL=C.UTF-8
state="$dir/sim.state"
sim=("$M" --sim --sim-state "$state" --fast)
"${sim[@]}" backup "$dir/base.vm3zt" >/dev/null || fail "backup"

# ---- Restore and dump of files longer or shorter than their version --------------------------
head -c 1500 "$dir/base.vm3zt" >"$dir/cut.vm3zt"
{ cat "$dir/base.vm3zt"; printf 'tail'; } >"$dir/long.vm3zt"
python3 - "$dir" <<'PY' || fail "make the files"
import struct, sys
d = sys.argv[1]
b = open(d + "/base.vm3zt", "rb").read()
open(d + "/long1.vm3zt", "wb").write(struct.pack("<i", 1) + b[4:4 + 784 + 1246] + bytes(40))
PY
for f in long long1; do
    rm -f "$dir/t"
    "${sim[@]}" --trace "$dir/t" restore "$dir/$f.vm3zt" >/dev/null 2>"$dir/err"; rc=$?
    [ $rc -eq 3 ] || fail "$f: restore exits 3, not $rc"
    [ -e "$dir/t" ] && fail "$f: nothing is sent, the processor is not even opened"
    grep -qE "goes on past the (2175|2034) bytes of a version (8|1) mode file: it may not be a mode file; nothing was sent" "$dir/err" ||
        fail "$f: says so [$(cat "$dir/err")]"
    "$M" dump "$dir/$f.vm3zt" >/dev/null 2>"$dir/err" || fail "$f: dump reads it"
    grep -q "goes on past .*; the rest is not read" "$dir/err" || fail "$f: dump says so"
done
"${sim[@]}" restore "$dir/cut.vm3zt" >"$dir/out" 2>"$dir/err" || fail "a cut-short file is restored"
grep -qx "m7qctl: $dir/cut.vm3zt is shorter than its version says: what it does not hold keeps the processor's values" "$dir/err" ||
    fail "cut: says so [$(cat "$dir/err")]"
"$M" dump "$dir/cut.vm3zt" 2>&1 >/dev/null | grep -q "shorter than its version 8 says" || fail "cut: dump says so"
# --file: read with a note, never written back shorter.
cp "$dir/long.vm3zt" "$dir/edit.vm3zt"
"$M" --file "$dir/edit.vm3zt" set SET_MIC_VOLUME 10 >/dev/null 2>"$dir/err"; rc=$?
[ $rc -eq 3 ] || fail "--file set on a long file exits 3, not $rc"
grep -q "saving it would drop the rest; nothing was changed" "$dir/err" || fail "--file set: says why"
cmp -s "$dir/edit.vm3zt" "$dir/long.vm3zt" || fail "--file set: the file is unchanged"
"$M" --file "$dir/edit.vm3zt" get SET_MIC_VOLUME >"$dir/out" 2>"$dir/err" || fail "--file get on a long file"
grep -q "the rest is not read" "$dir/err" && grep -q '^SET_MIC_VOLUME = ' "$dir/out" || fail "--file get: the value and the note"

# ---- Backup of a processor whose memory reads as erased -----------------------------------------
printf 'keep' >"$dir/kept.vm3zt"
for target in new kept; do
    "$M" --fast --sim-fault erased backup "$dir/$target.vm3zt" >/dev/null 2>"$dir/err"; rc=$?
    [ $rc -eq 1 ] || fail "erased: backup exits 1, not $rc"
    grep -q "the processor's memory reads as erased (never written)" "$dir/err" || fail "erased: says so"
done
[ -e "$dir/new.vm3zt" ] && fail "erased: no file written"
[ "$(cat "$dir/kept.vm3zt")" = keep ] || fail "erased: an existing file is kept"
"$M" --fast --sim-fault erased info >/dev/null 2>&1 || fail "erased: info still works"

# ---- The music sources a mode file keeps ------------------------------------------------------------
cp "$dir/base.vm3zt" "$dir/f.vm3zt"
for source in 2 3 5; do
    "$M" --file "$dir/f.vm3zt" set SET_MUSIC_SOURCE $source >/dev/null 2>"$dir/err"; rc=$?
    [ $rc -eq 2 ] || fail "--file source $source: exit 2, not $rc"
    grep -q "a mode file cannot keep the music source $source (" "$dir/err" ||
        fail "--file source $source: names it [$(cat "$dir/err")]"
    grep -q "turns 2, 3 and 5 into 0 (SPDIF)" "$dir/err" || fail "--file source $source: says why"
    cmp -s "$dir/f.vm3zt" "$dir/base.vm3zt" || fail "--file source $source: the file is unchanged"
done
for source in 1 4 0; do
    "$M" --file "$dir/f.vm3zt" set SET_MUSIC_SOURCE $source >/dev/null || fail "--file source $source is kept"
    "$M" --file "$dir/f.vm3zt" get SET_MUSIC_SOURCE | grep -qx "SET_MUSIC_SOURCE = $source" ||
        fail "--file source $source reads back"
done
# On the processor 2 is a source like any other; its backup restores as SPDIF, and says so.
"${sim[@]}" set SET_MUSIC_SOURCE 2 >/dev/null || fail "source 2 on the processor"
"${sim[@]}" backup "$dir/hdmi.vm3zt" >/dev/null || fail "backup with source 2"
"${sim[@]}" restore "$dir/hdmi.vm3zt" >/dev/null 2>"$dir/err" || fail "restore with source 2"
grep -qx "m7qctl: $dir/hdmi.vm3zt holds the music source 2, which mode files do not keep: it is restored as 0 (SPDIF)" "$dir/err" ||
    fail "restore names the source [$(cat "$dir/err")]"
"${sim[@]}" get SET_MUSIC_SOURCE | grep -qx "SET_MUSIC_SOURCE = 0" || fail "the processor got 0"
echo "m7qctl files: all checks passed"
