#!/usr/bin/env bash
# The layer check passes on the tree and fails on a planted upward include and on a planted loop.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
check="$here/scripts/check-layers.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

bash "$check" "$here" >/dev/null

cp -r "$here/src" "$work/src"
echo '#include "app/App.h"' >>"$work/src/model/Eq.cpp"
if out=$(bash "$check" "$work" 2>&1); then
    echo "an upward include was not caught"; exit 1
fi
grep -q 'src/model/Eq.cpp includes app/App.h' <<<"$out" || { echo "wrong message: $out"; exit 1; }

rm -rf "$work/src" && cp -r "$here/src" "$work/src"
echo '#include "model/Setters.h"' >>"$work/src/model/Eq.h" # Setters.cpp -> Compound -> ... -> Eq
echo '#include "model/Eq.h"' >>"$work/src/model/Setters.h"
if out=$(bash "$check" "$work" 2>&1); then
    echo "an include loop was not caught"; exit 1
fi
grep -q 'include loop' <<<"$out" || { echo "wrong message: $out"; exit 1; }

rm -rf "$work/src" && cp -r "$here/src" "$work/src"
echo '#include "sync/Sync.h"' >>"$work/src/files/ModeFile.cpp" # siblings do not use each other
if bash "$check" "$work" >/dev/null 2>&1; then
    echo "a sibling include was not caught"; exit 1
fi
echo "layer check: 3 plants caught"
