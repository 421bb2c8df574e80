#!/usr/bin/env bash
# The download as a user meets it: fresh kvx-tether processes against a
# separate kvx-vcam process, "capture --count 1" from release to the final
# file, alternated round by round with "kvx-tether list" (the cost of
# starting the program, with no camera link) in the same run. For each
# picture size it prints the wall times (median and range), the ratio list /
# capture per round (median and range), and the peak resident memory (max
# RSS) of the capture processes. The camera makes its picture bytes once, at
# start (--content-once), so that the rounds time the download, not the
# making of bytes.
#
# Usage: real_path.sh [BIN_DIR] [ROUNDS] [SIZES...]
#   BIN_DIR  folder of kvx-tether and kvx-vcam (default: build/bin of this tree)
#   ROUNDS   rounds per size (default 10)
#   SIZES    picture sizes in bytes (default 3000000 30000000)
# Pictures go to a folder under ${TMPDIR:-/tmp}.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../../build/bin}
rounds=${2:-10}
shift $(($# > 2 ? 2 : $#))
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(3000000 30000000)
tether=$bin/kvx-tether
vcam=$bin/kvx-vcam
for b in "$tether" "$vcam" /usr/bin/time; do
    [ -x "$b" ] || { echo "real_path.sh: $b not found" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/kvx-real-path.XXXXXX")
vcam_pid=
cleanup() {
    if [ -n "$vcam_pid" ]; then kill "$vcam_pid" 2>/dev/null || true; wait "$vcam_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

export KVX_DEVICE_DIR=$work/devices
export KVX_DEVICE_USB=0
export XDG_STATE_HOME=$work/state XDG_DATA_HOME=$work/data
settings=$work/settings.ini
: >"$settings"

now_ns() { date +%s%N; }

# One timed run: "<wall ms> <max RSS KiB>" on stdout; fails when the command fails.
timed() {
    local start end
    start=$(now_ns)
    /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null 2>"$work/err" || {
        echo "real_path.sh: failed: $* ($(cat "$work/err"))" >&2
        return 1
    }
    end=$(now_ns)
    echo "$(((end - start) / 1000)) $(tail -n 1 "$work/rss")"
}

for size in "${sizes[@]}"; do
    rm -rf "$KVX_DEVICE_DIR" "$work/out"
    mkdir -p "$KVX_DEVICE_DIR" "$work/out"
    "$vcam" --device-dir "$KVX_DEVICE_DIR" --picture-bytes "$size" --content-once --no-control \
        </dev/null >/dev/null 2>&1 &
    vcam_pid=$!
    for _ in $(seq 100); do
        ls "$KVX_DEVICE_DIR"/*.device >/dev/null 2>&1 && break
        sleep 0.05
    done
    # One untimed capture: files and caches as in the rounds after it.
    "$tether" --settings "$settings" capture --count 1 --dest "$work/out" >/dev/null
    rm -f "$work/out"/*

    : >"$work/rounds"
    for round in $(seq "$rounds"); do
        # The order swaps every round.
        if [ $((round % 2)) -eq 1 ]; then
            c=$(timed "$tether" --settings "$settings" capture --count 1 --dest "$work/out")
            l=$(timed "$tether" --settings "$settings" list)
        else
            l=$(timed "$tether" --settings "$settings" list)
            c=$(timed "$tether" --settings "$settings" capture --count 1 --dest "$work/out")
        fi
        got=$(find "$work/out" -type f ! -name '.*' -size "${size}c" | wc -l)
        [ "$got" -eq 1 ] || { echo "real_path.sh: round $round: no whole picture" >&2; exit 1; }
        rm -f "$work/out"/*
        echo "$c $l" >>"$work/rounds"
    done
    kill "$vcam_pid"
    wait "$vcam_pid" 2>/dev/null || true
    vcam_pid=

    python3 - "$size" "$work/rounds" <<'EOF'
import statistics, sys
size = int(sys.argv[1])
rows = [list(map(int, l.split())) for l in open(sys.argv[2]) if l.strip()]
cap = [r[0] / 1000 for r in rows]
lst = [r[2] / 1000 for r in rows]
rss = [r[1] for r in rows]
ratio = [l / c for c, l in zip(cap, lst)]
def show(v, unit, digits=1):
    return f"median {statistics.median(v):.{digits}f}{unit} ({min(v):.{digits}f}-{max(v):.{digits}f})"
print(f"{size / 1e6:g} MB, {len(rows)} rounds:")
print(f"  capture --count 1  {show(cap, ' ms')}")
print(f"  list               {show(lst, ' ms')}")
print(f"  ratio list/capture {show(ratio, '', 3)}")
print(f"  capture max RSS    {show([k / 1024 for k in rss], ' MiB')}")
EOF
done
