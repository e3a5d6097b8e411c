#!/usr/bin/env bash
# Installs what the build needs (Debian 12), builds, and shows the console's core at work on the
# simulated processor: identify it, back up its preset to a mode file, and decode that file.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev libhidapi-dev libudev-dev)
missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -q
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}"
fi

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
