#!/usr/bin/env bash
# Sets everything up, builds, and runs the main job: the demo (render a
# synthetic turntable scan, calibrate, scan, save, report the accuracy), then
# the desktop application when a display is available.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target kelmorph-batch kelmorph
build/tools/batch/kelmorph-batch demo kelmorph-demo
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  echo "Starting the desktop application (LOAD kelmorph-demo/Obj0001.jpg to scan the demo yourself)."
  exec build/app/gui/kelmorph
fi
echo "No display found: the desktop application was not started (run build/app/gui/kelmorph on a desktop)."
