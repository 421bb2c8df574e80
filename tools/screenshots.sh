#!/usr/bin/env bash
# Renders the program's windows and controls into PNG files for a person to
# look at. Usage: tools/screenshots.sh DIR
#
# Each renderer is a program taking the output folder; add new ones (main
# window, panels, dialogs, live view) to the list below. They run without a
# display: under Xvfb when it is there, else on Qt's offscreen platform.
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 DIR" >&2; exit 2; }
out=$(mkdir -p "$1" && cd "$1" && pwd)
cd "$(dirname "$0")/.."

renderers=(
  kvx-control-gallery   # every control in each state, the readouts, every picture
  kvx-main-window-shots # the main window without and with a virtual camera, each panel, live view beside it, the notice
  kvx-panel-gallery     # the six setting panels from a virtual camera, a drop list, focus area, WB grid
  kvx-liveview-gallery  # the live view window on virtual-camera frames: grids, mask, zooms, focus frame
  kvx-prefs-gallery     # the preferences dialog, the folder picker, the new folder dialog
  kvx-dialog-gallery    # special capture settings (each page), custom WB, ISO function, date
)

dir=build
tools/install-deps.sh
[ -f "$dir/build.ninja" ] || cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" --target "${renderers[@]}"

run() {
  if command -v xvfb-run >/dev/null 2>&1; then
    xvfb-run -a -s "-screen 0 1600x1200x24" "$@"
  else
    QT_QPA_PLATFORM=offscreen "$@"
  fi
}

for r in "${renderers[@]}"; do
  run "$dir/bin/$r" "$out"
done
echo "Screenshots are in $out"
