#!/usr/bin/env bash
# m7qctl as a new user meets it: --version, help and COMMAND --help from the one command table, the
# man page and usage text naming every command, option and fault, "did you mean" for each kind of
# name, and the messages' language following the locale.
# Usage: m7qctl_help_test.sh M7QCTL MAN-PAGE
set -u
M="$1"
MAN="$2"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
export LC_ALL=C.UTF-8

# ---- --version, help, COMMAND --help -----------------------------------------------------------
"$M" --version >"$dir/out" 2>"$dir/err" || fail "--version exits 0"
head -n 1 "$dir/out" | grep -qE '^m7qctl \(M7Q Console\) [0-9]+\.[0-9]+\.[0-9]+$' || fail "--version: name and version"
grep -qx 'works with M7Q processors of command-set version 18' "$dir/out" || fail "--version: what it works with"
[ -s "$dir/err" ] && fail "--version: nothing on stderr"
"$M" help >"$dir/help" 2>"$dir/err" || fail "help exits 0"
[ -s "$dir/err" ] && fail "help: nothing on stderr"
for form in --help -h "--sim --help"; do
    # shellcheck disable=SC2086
    "$M" $form >"$dir/out" 2>&1 || fail "$form exits 0"
    cmp -s "$dir/out" "$dir/help" || fail "$form is the help text"
done
head -n 1 "$dir/help" | grep -qx 'usage: m7qctl \[OPTIONS\] COMMAND \[ARGUMENTS\]' || fail "the usage line"
"$M" >/dev/null 2>"$dir/err"; [ $? -eq 2 ] || fail "no command exits 2"
cmp -s "$dir/err" "$dir/help" || fail "no command: the help text on stderr"

"$M" complete commands >"$dir/commands" || fail "complete commands"
[ "$(wc -l <"$dir/commands")" -ge 10 ] || fail "complete commands lists them"
grep -qx complete "$dir/commands" && fail "complete is for the completion script, not listed"
grep -q '^  complete' "$dir/help" && fail "complete is not in the help"
while read -r c; do
    grep -qE "^  $c( |$)" "$dir/help" || fail "the help lists $c"
    "$M" "$c" --help >"$dir/c" 2>"$dir/err" || fail "$c --help exits 0"
    head -n 1 "$dir/c" | grep -qE "^usage: m7qctl \[OPTIONS\] $c( |$)" || fail "$c --help: its usage line"
    [ "$(wc -l <"$dir/c")" -ge 3 ] || fail "$c --help: says what it does"
    "$M" help "$c" | cmp -s - "$dir/c" || fail "help $c is $c --help"
    "$M" --sim "$c" extra words --help | cmp -s - "$dir/c" || fail "$c ... --help: help whatever the arguments"
done <"$dir/commands"
grep -qx '       m7qctl \[OPTIONS\] eq import EQ FILE \[--preamp apply\]' <("$M" eq --help) ||
    fail "eq --help: one usage line a form"
"$M" help nosuch >/dev/null 2>&1; [ $? -eq 2 ] || fail "help of an unknown command exits 2"

# ---- Man page and usage text: every command, option and fault -----------------------------------
# The man page as words: roff escapes and font macros dropped.
sect() { sed -n "/^\.SH $1/,/^\.SH /p" "$MAN" | sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/^\.[A-Z]* *//' | tr -d '"'; }
sect SYNOPSIS >"$dir/synopsis"
sect OPTIONS >"$dir/options"
sect COMMANDS >"$dir/mancommands"
"$M" complete options | cut -d' ' -f1 >"$dir/opts"
"$M" complete options eq fit | cut -d' ' -f1 | grep -vxFf "$dir/opts" >"$dir/fitopts"
"$M" complete sim-faults >"$dir/faults"
[ "$(wc -l <"$dir/opts")" -ge 11 ] && [ "$(wc -l <"$dir/faults")" -ge 18 ] || fail "the option and fault lists"
while read -r o; do
    grep -qe "$o\b" "$dir/synopsis" || fail "the man page's synopsis has $o"
    grep -qe "$o\b" "$dir/options" || fail "the man page's options have $o"
    grep -qe "$o\b" "$dir/help" || fail "the usage text has $o"
done <"$dir/opts"
[ "$(wc -l <"$dir/fitopts")" -ge 9 ] || fail "eq fit's options"
while read -r o; do
    grep -qe "$o\b" "$dir/mancommands" || fail "the man page's eq fit has $o"
    "$M" eq --help | grep -qE "^  $o( |$)" || fail "eq --help has $o"
done <"$dir/fitopts"
while read -r f; do
    grep -qF -- "$f" "$dir/options" || fail "the man page names the fault $f"
    grep -qF -- "$f" "$dir/help" || fail "the usage text names the fault $f"
done <"$dir/faults"
while read -r c; do
    grep -qE "^$c( |$)" "$dir/mancommands" || fail "the man page has the command $c"
done <"$dir/commands"

# ---- Did you mean: each kind of name, any case; nothing sent ------------------------------------
sim=("$M" --sim --sim-state "$dir/sim.state" --fast --trace "$dir/trace")
while IFS='|' read -r args suggestion; do
    rm -f "$dir/trace"
    # shellcheck disable=SC2086
    "${sim[@]}" $args >/dev/null 2>"$dir/err"
    [ $? -eq 2 ] || fail "'$args' exits 2"
    grep -qF -- "did you mean $suggestion?" "$dir/err" || fail "'$args': did you mean $suggestion? [$(cat "$dir/err")]"
    [ -e "$dir/trace" ] && fail "'$args' sends nothing"
done <<'EOF_CASES'
inof|info
BAKUP x.vm3zt|backup
--vesion info|--version
--sim-faul silent info|--sim-fault
get SET_MIC_VOLUM|SET_MIC_VOLUME
get mic_volume|SET_MIC_VOLUME
set set_mic_volme 50|SET_MIC_VOLUME
get SET_MIC_LEVEL|SET_MIC_LEVEL[1], SET_MIC_LEVEL[2], SET_MIC_LEVEL[3] or SET_MIC_LEVEL[4]
eq show MIC-C|mic-a or mic-b
eq show ot3|out3
eq shwo out1|show
eq IMPORT out1 f.txt|import
mode lod 1|load
help resotre|restore
eq fit out1 m.txt --max-bost 3|--max-boost
EOF_CASES
"$M" frobnicate 2>&1 | grep -q "did you mean" && fail "a name far from every command gets no suggestion"
"$M" get SET_NOTHING_LIKE_IT 2>&1 | grep -q "the names are those m7qctl dump prints" ||
    fail "no near setting: where the names are"
"$M" mode lod 1 2>&1 | grep -qx 'usage: m7qctl \[OPTIONS\] mode load|store|factory N' ||
    fail "a command given wrongly shows its usage line"

# ---- The language of the messages ---------------------------------------------------------------
lang() { # environment assignments, then the expected language of "m7qctl inof"
    local want=${*: -1}
    env -u LC_ALL -u LC_MESSAGES -u LANG "${@:1:$#-1}" "$M" inof 2>"$dir/err"
    if [ "$want" = zh ]; then
        grep -qx 'm7qctl: 未知命令 “inof”；是不是要输入 info？' "$dir/err" || fail "${*:1:$#-1}: Chinese [$(cat "$dir/err")]"
    else
        grep -qx 'm7qctl: unknown command "inof"; did you mean info?' "$dir/err" || fail "${*:1:$#-1}: English [$(cat "$dir/err")]"
    fi
}
lang LANG=zh_CN.UTF-8 zh
lang LC_MESSAGES=zh_TW.UTF-8 LANG=en_GB.UTF-8 zh
lang LC_ALL=zh_CN.UTF-8 LANG=en_US.UTF-8 zh
lang LC_ALL=C.UTF-8 LANG=zh_CN.UTF-8 en
lang LC_ALL= LC_MESSAGES=en_US.UTF-8 LANG=zh_CN.UTF-8 en
lang LANG=de_DE.UTF-8 en
lang en
# A processor of another model: the CLI's own words in either language, never the window's box text.
for l in C.UTF-8 zh_CN.UTF-8; do
    LC_ALL=$l "$M" --fast --sim-fault wrong-model info >/dev/null 2>"$dir/err"; [ $? -eq 1 ] || fail "$l: wrong model exits 1"
    grep -q "机器型号与软件不匹配" "$dir/err" && fail "$l: not the window's box text"
done
grep -qF '处理器型号为 “M5X”，本软件只支持 “M7Q”' "$dir/err" || fail "zh: the model in Chinese"
echo "m7qctl help: all checks passed"
