#!/bin/bash
# A script steering a kvx-vcam running in the background, with kvx-tether as
# the program: a picture released by the program and one pressed on the body
# (kvx-vcam --send) both arrive, and the camera's manifest checks the
# downloaded files with sha256sum, Q7I pictures joined from their parts
# included; a setting turned on the body shows in kvx-tether info.
# Usage: steer_script_test.sh KVX_VCAM KVX_TETHER
set -u
vcam=$1
tether=$2
work=$(mktemp -d /tmp/vcam-script-XXXXXX)
camera_pid=
watch_pid=
finish() {
    [ -n "$watch_pid" ] && kill "$watch_pid" 2>/dev/null && wait "$watch_pid" 2>/dev/null
    [ -n "$camera_pid" ] && kill "$camera_pid" 2>/dev/null && wait "$camera_pid" 2>/dev/null
    rm -rf "$work"
}
trap finish EXIT
fail() {
    echo "FAIL: $*" >&2
    for f in "$work"/*.log; do echo "--- $f" >&2; cat "$f" >&2; done
    exit 1
}
# Polls a condition for at most 60 seconds.
wait_for() {
    for _ in $(seq 600); do
        eval "$1" && return 0
        sleep 0.1
    done
    return 1
}

mkdir -p "$work/devices" "$work/pictures" "$work/data"
export KVX_DEVICE_DIR=$work/devices KVX_DEVICE_USB=0 XDG_DATA_HOME=$work/data
export KVX_TETHER_TIME_DIVISOR=10
printf '[Debug_1.2]\nLogLevel=0\n[Store_1.2]\nInCamera=0\nInPC=1\nPath=%s\n' \
    "$work/pictures" > "$work/settings.ini"

"$vcam" --instance SCRIPT1 --picture q7i --q7i-parts 3 --picture-bytes 150000 \
    --manifest "$work/manifest" --trace "$work/trace" < /dev/null > "$work/vcam.log" 2>&1 &
camera_pid=$!
wait_for '[ -S "$work/devices/SCRIPT1.control" ]' || fail "no control socket"
answer=$("$vcam" --send info) || fail "info: $answer"
case "$answer" in "ok info instance=SCRIPT1 plugged=1"*) ;; *) fail "info: $answer" ;; esac

# Released by the program.
"$tether" --settings "$work/settings.ini" capture --mf > "$work/capture.log" 2>&1 ||
    fail "capture exited $?"

# Pressed on the body while the program watches.
: > "$work/trace"
"$tether" --settings "$work/settings.ini" watch > "$work/watch.log" 2>&1 &
watch_pid=$!
wait_for '[ "$(wc -l < "$work/trace")" -ge 10 ]' || fail "watch did not link"
answer=$("$vcam" --send 'press release') || fail "press: $answer"
[ "$answer" = "ok press ids=1" ] || fail "press: $answer"
wait_for '[ "$(wc -l < "$work/watch.log")" -ge 1 ]' || fail "the body picture did not arrive"
kill -TERM "$watch_pid"
wait "$watch_pid" || fail "watch exited $?"
watch_pid=

# A malformed command is refused with status 1 and changes nothing.
"$vcam" --send 'press sideways' > "$work/bad.log" 2>&1
[ $? -eq 1 ] || fail "a malformed command did not exit 1"
answer=$("$vcam" --send info)
case "$answer" in *" taken=2 "*) ;; *) fail "after the malformed command: $answer" ;; esac

# A dial turned on the body shows in what the program reads.
answer=$("$vcam" --send 'set exposure-mode 4') || fail "set: $answer"
"$tether" --settings "$work/settings.ini" info > "$work/info.log" 2>&1 || fail "info exited $?"
grep -q "Exposure mode  *M - Manual Exposure" "$work/info.log" || fail "info after the dial: $(cat "$work/info.log")"

[ "$(wc -l < "$work/manifest")" -eq 2 ] || fail "manifest lines: $(cat "$work/manifest")"
(cd "$work/pictures" && sha256sum --check "$work/manifest") > "$work/check.log" 2>&1 ||
    fail "the downloads do not match the manifest"
kill -TERM "$camera_pid"
wait "$camera_pid" || fail "kvx-vcam exited $?"
camera_pid=
[ ! -e "$work/devices/SCRIPT1.control" ] || fail "control socket left behind"
echo "ok"
