#!/usr/bin/env bash
# The bash completion of m7qctl: what it offers for partial words, its names asked from m7qctl itself.
# Usage: completion_test.sh M7QCTL COMPLETION-SCRIPT
set -u
M="$1"
source "$2"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
# Offers for a command line whose last word is being completed, one a line.
offers() {
    COMP_WORDS=("$M" "$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _m7qctl
    printf '%s\n' "${COMPREPLY[@]}"
}
expect() { # expected offers (one string, lines), then the words
    local want="$1" got
    shift
    got=$(offers "$@")
    [ "$got" = "$want" ] || fail "m7qctl $*: offered [$got], expected [$want]"
}
mics=$'SET_MIC_LEVEL\\[1\\]\nSET_MIC_LEVEL\\[2\\]\nSET_MIC_LEVEL\\[3\\]\nSET_MIC_LEVEL\\[4\\]'

# Every word list is m7qctl's own; the hidden complete command is not offered.
[ "$(offers "")" = "$("$M" complete commands)" ] || fail "the commands are m7qctl's"
expect $'info\nbackup\nrestore\ndump\ndiff\nverify\nmode\nget\nset\neq\ndoctor\nhelp' ""
expect "doctor" do
expect "backup" help ba
expect "" comp
[ "$(offers -)" = "$("$M" complete options | cut -d' ' -f1)" ] || fail "the options are m7qctl's"
[ "$(offers eq fit out1 m.txt -)" = "$("$M" complete options eq fit | cut -d' ' -f1)" ] || fail "eq fit's options too"
expect $'--sim\n--sim-state\n--sim-fault' --si
expect $'latency=\nlate-button=' --sim-fault la
expect $'silent,drop=\nsilent,drop-every=\nsilent,drift-after=' --sim-fault silent,dr
expect $'latency=5,seed=' --fast --sim-fault latency=5,se
expect "$mics" get SET_MIC_LE
expect "$mics" --sim --fast get SET_MIC_VOLUME set_mic_le # any case, after options and another name
expect "$mics" get 'SET_MIC_LEVEL\['
expect 'SET_MIC_LEVEL\[2\]' get 'SET_MIC_LEVEL[2'
expect "" set SET_MIC_VOLUME "" # a value, not a name
expect "$(printf 'SET_OUT_MUTE\\[%d\\]\n' 1 2 3 4 5 6 7 8 | head -c -1)" set SET_MIC_VOLUME 50 SET_OUT_MUT
expect "" get NO_SUCH_NAME
[ "$(offers get "" | wc -l)" -eq "$("$M" complete settings | wc -l)" ] || fail "every setting is offered"
[ "$("$M" complete settings | wc -l)" -gt 200 ] || fail "m7qctl lists the settings"
"$M" complete settings | grep -qx 'SET_OUT_LEVEL\[8\]' || fail "the names are those dump prints"
expect $'show\nexport\nimport\nfit' eq ""
expect $'out1\nout2\nout3\nout4\nout5\nout6\nout7\nout8' eq show o
expect $'echo-a\necho-b' eq import ech
expect $'load\nstore\nfactory' mode ""
expect $'1\n2\n3\n4' mode load ""
expect "--file" --fi
expect "--preamp" eq import out1 f.txt --pr
expect "apply" eq import out1 f.txt --preamp ""
expect "--max-boost" eq fit out1 m.txt --max-b
expect "" eq import out1 f.txt --max-b # eq fit's options belong to eq fit

mkdir "$dir/presets"
touch "$dir/room.vm3zt" "$dir/front left.txt" "$dir/notes.md"
[ "$(offers restore "$dir/" | sort)" = "$(printf '%s\n' "$dir/presets" "$dir/room.vm3zt")" ] ||
    fail "restore offers mode files and folders"
expect "$dir/room.vm3zt" --file "$dir/r"
expect "$dir/room.vm3zt" verify "$dir/r"
[ "$(offers diff "$dir/room.vm3zt" "" | grep -cx device)" -eq 1 ] || fail "diff offers device"
expect "device" diff dev
expect "$dir/front left.txt" eq import out1 "$dir/fr"
expect "$dir/front left.txt" eq fit out1 "$dir/notes.md" --range 20-500 "$dir/fr"
expect "$dir/front left.txt" eq fit out1 "$dir/notes.md" --target "$dir/fr"
expect "$dir/notes.md" --trace "$dir/n"
echo "completion: all offers as expected"
