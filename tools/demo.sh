#!/usr/bin/env bash
# Fresh Debian 12 machine: installs everything, builds and starts qorhost on the embedded demo
# database (created in the user's data folder on first start). Without a display it runs under
# Xvfb, opens the register list and leaves a screenshot in build/qorhost.png.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/qorhost "$@"
else
  # Without arguments, show the main job: the register list with the demo's trials.
  [ "$#" -gt 0 ] || set -- --open tryout --action actRefresh
  xvfb-run -a -s "-screen 0 1280x800x24" build/bin/qorhost "$@" --screenshot build/qorhost.png
  echo "no display: screenshot written to build/qorhost.png"
fi
