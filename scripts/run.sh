#!/usr/bin/env bash
# Installs what the build needs (Debian 12), builds, and shows the console's core at work on the
# simulated processor: identify it, back up its preset to a mode file, and decode that file.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/deps.sh

cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/run --target m7qctl

state="${XDG_DATA_HOME:-$HOME/.local/share}/m7q-console"
mkdir -p "$state"
ctl=(build/run/m7qctl --sim --sim-state "$state/simulated-processor.state" --fast)
echo "== m7qctl --sim info"
"${ctl[@]}" info
echo "== m7qctl --sim backup $state/backup.vm3zt"
"${ctl[@]}" backup "$state/backup.vm3zt"
echo "== m7qctl dump $state/backup.vm3zt (first lines)"
build/run/m7qctl dump "$state/backup.vm3zt" | head -n 40
