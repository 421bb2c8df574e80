#!/usr/bin/env bash
# Builds what is missing and runs Kolvex's main job: link to the camera and
# download what it shoots. With no camera attached, a virtual camera is
# plugged in for the session and unplugged afterwards.
# Usage: tools/run.sh [destination folder]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$(tools/build.sh plain | tail -n 1)
bin="$PWD/$dir/bin"
dest=${1:-"$PWD/out/pictures"}
mkdir -p "$dest"

vcam_pid=""
cleanup() { [ -n "$vcam_pid" ] && kill "$vcam_pid" 2>/dev/null && wait "$vcam_pid" 2>/dev/null; true; }
trap cleanup EXIT

if ! "$bin/kvx-tether" list >/dev/null 2>&1; then
  export KVX_DEVICE_DIR
  KVX_DEVICE_DIR=$(mktemp -d)
  echo "No camera attached: plugging in a virtual camera (RAW+JPEG)."
  "$bin/kvx-vcam" --device-dir "$KVX_DEVICE_DIR" --picture raw+jpeg --picture-bytes 3000000 &
  vcam_pid=$!
  for _ in $(seq 1 50); do ls "$KVX_DEVICE_DIR"/*.device >/dev/null 2>&1 && break; sleep 0.1; done
fi

"$bin/kvx-tether" list
"$bin/kvx-tether" info
"$bin/kvx-tether" capture --af --count 2 --dest "$dest"
echo "Pictures are in $dest"
