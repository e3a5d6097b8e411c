#!/usr/bin/env bash
# Installs what the build needs (Debian 12), builds, and starts the console on the built-in simulated
# processor. Without a display it renders the window to a PNG instead and says how to look at it.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/deps.sh

cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/run --target m7q-console m7qctl

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec build/run/m7q-console --simulate "$@"
fi

shot="${XDG_DATA_HOME:-$HOME/.local/share}/m7q-console/screenshot.png"
mkdir -p "$(dirname "$shot")"
QT_QPA_PLATFORM=offscreen build/run/m7q-console --simulate --fast --screenshot "$shot" "$@"
cat <<TEXT
No display here, so the console rendered its window offscreen instead:
  $shot
Other pages and the other language, the same way:
  QT_QPA_PLATFORM=offscreen build/run/m7q-console --simulate --fast --lang en --page output --screenshot out.png
On a desktop, the same command starts the window itself.
TEXT
