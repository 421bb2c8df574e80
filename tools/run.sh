#!/usr/bin/env bash
# Builds what is missing and runs Kolvex: the window (Varno_Kolvex) when
# there is a display, else the tethering flow on the command line (list the
# cameras, show the camera's settings, release the shutter twice and
# download the pictures). With no camera attached, a virtual camera taking
# RAW+JPEG pictures is plugged in for the session and unplugged afterwards.
#
# Pictures go to DIR (default out/pictures). The window takes its folder
# from its settings file, so it runs on a copy of the user's settings file
# made for this session, with the destination set to DIR and the pictures
# going to the computer; the user's own file is never written. The copy is
# deleted when the window ends, with whatever the session changed in it.
# Usage: tools/run.sh [DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$(tools/build.sh plain | tail -n 1)
bin="$PWD/$dir/bin"
dest=${1:-"$PWD/out/pictures"}
mkdir -p "$dest"
dest=$(cd "$dest" && pwd)

vcam_pid=""
app_pid=""
session_data=""
cleanup() {
  if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null; fi
  if [ -n "$vcam_pid" ]; then kill "$vcam_pid" 2>/dev/null && wait "$vcam_pid" 2>/dev/null; fi
  if [ -n "$session_data" ]; then rm -rf "$session_data"; fi
  if [ -n "${KVX_DEVICE_DIR:-}" ] && [ -n "$vcam_pid" ]; then rm -rf "$KVX_DEVICE_DIR"; fi
  true
}
trap cleanup EXIT

if ! "$bin/kvx-tether" list >/dev/null 2>&1; then
  export KVX_DEVICE_DIR
  KVX_DEVICE_DIR=$(mktemp -d)
  echo "No camera attached: plugging in a virtual camera (RAW+JPEG)."
  "$bin/kvx-vcam" --device-dir "$KVX_DEVICE_DIR" --picture raw+jpeg --picture-bytes 3000000 \
    </dev/null &
  vcam_pid=$!
  for _ in $(seq 1 50); do ls "$KVX_DEVICE_DIR"/*.device >/dev/null 2>&1 && break; sleep 0.1; done
  echo "Its shutter from another terminal: KVX_DEVICE_DIR=$KVX_DEVICE_DIR $bin/kvx-vcam --send 'press af'"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display (DISPLAY and WAYLAND_DISPLAY are unset): running the tethering flow on the command line."
  "$bin/kvx-tether" list
  "$bin/kvx-tether" info
  "$bin/kvx-tether" capture --af --count 2 --dest "$dest"
  echo "Pictures are in $dest"
  exit 0
fi

# The settings file reads at most this many characters of a folder.
if [ "${#dest}" -ge 255 ]; then
  echo "The folder name is too long for the settings file (254 characters at most): $dest" >&2
  exit 2
fi

# The session's settings: the first [Store_1.2] section of a file is the one
# that counts, so the session's section goes before a copy of the user's
# file, and carries the user's naming keys (prefix, numbers) over.
user_data=${XDG_DATA_HOME:-"$HOME/.local/share"}
user_ini="$user_data/VARNO/Varno_Kolvex/Varno_Kolvex.ini"
session_data=$(mktemp -d)
mkdir -p "$session_data/VARNO/Varno_Kolvex"
{
  # Without its byte-order mark, which would spoil its first line here.
  user=""
  if [ -r "$user_ini" ]; then user=$(sed '1s/^\xEF\xBB\xBF//' "$user_ini"); fi
  printf '[Store_1.2]\nPath=%s/\nInPC=1\nInCamera=0\n' "$dest"
  printf '%s\n' "$user" | awk '
    { sub(/\r$/, "") }
    /^[ \t]*\[/ { s = tolower($0); gsub(/[ \t]/, "", s); store = (s == "[store_1.2]" && !seen++); next }
    store { k = tolower($0); sub(/=.*/, "", k); gsub(/[ \t]/, "", k)
            if (k != "" && k != "path" && k != "inpc" && k != "incamera") print }'
  printf '\n%s\n' "$user"
} >"$session_data/VARNO/Varno_Kolvex/Varno_Kolvex.ini"

echo "Starting the window; pictures go to $dest (close the window or press Ctrl+C to end)."
# In the background so that a signal to this script closes the window the
# way its Exit command does, and the script still unplugs the camera after.
# The user's applications stay visible for the RAW developer lookup.
XDG_DATA_HOME="$session_data" \
  XDG_DATA_DIRS="$user_data:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}" \
  "$bin/Varno_Kolvex" </dev/null &
app_pid=$!
trap 'kill -TERM "$app_pid" 2>/dev/null || true' TERM INT HUP
status=0
while :; do
  wait "$app_pid" && status=0 || status=$?
  kill -0 "$app_pid" 2>/dev/null || break
done
app_pid=""
echo "The window has ended (exit status $status). Pictures are in $dest"
exit "$status"
