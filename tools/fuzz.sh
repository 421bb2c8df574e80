#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each, one
# after another at the lowest priority, for SECONDS (default 60) on a scratch
# copy of its seed corpus; the seeds themselves are never changed. Prints per
# target the executions, the coverage and any crash (the crashing input is
# kept in the scratch folder, whose path is printed).
# With --grow the run starts from the seeds plus fuzz/<module>/grown/<name>,
# and what it found is minimised (-merge=1) back into that grown folder, which
# the unit suite replays input by input.
# Usage: tools/fuzz.sh [--grow] [SECONDS] [TARGET-PATTERN]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
grow=0
if [ "${1:-}" = "--grow" ]; then
  grow=1
  shift
fi
seconds=${1:-60}
pattern=${2:-}
case "$seconds" in
  '' | *[!0-9]*) echo "usage: $0 [SECONDS] [TARGET-PATTERN]" >&2; exit 2 ;;
esac
dir=build-fuzz

# Configured every time: the fuzz folders are found when cmake runs.
if [ -f "$dir/build.ninja" ]; then
  cmake "$dir" >/dev/null
else
  CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKVX_FUZZ=ON -DKVX_BUILD_TESTS=OFF -DKVX_BUILD_BENCH=OFF -DKVX_BUILD_GUI=OFF >/dev/null
fi
mapfile -t targets < <(cmake --build "$dir" --target help | sed -n 's/^\(fuzz_[a-z0-9_]*\):.*/\1/p' |
                       grep -- "${pattern}" | sort -u)
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets match '${pattern}'" >&2
  exit 2
fi
nice -n 19 cmake --build "$dir" -j2 --target "${targets[@]}"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/kvx-fuzz-run.XXXXXX")
echo "scratch folder: $scratch"
summary=()
failed=0
for t in "${targets[@]}"; do
  # fuzz_<module>_<name> runs over fuzz/<module>/corpus/<name>.
  rest=${t#fuzz_}
  module=${rest%%_*}
  name=${rest#*_}
  seeds="$root/fuzz/$module/corpus/$name"
  grown="$root/fuzz/$module/grown/$name"
  work="$scratch/$t"
  mkdir -p "$work/corpus" "$work/artifacts"
  [ -d "$seeds" ] && cp -r "$seeds/." "$work/corpus/"
  [ "$grow" -eq 1 ] && [ -d "$grown" ] && cp -r "$grown/." "$work/corpus/"
  seedCount=$(find "$work/corpus" -type f | wc -l)
  echo "== $t: $seedCount seeds, ${seconds}s"
  set +e
  # The processor time the target really got: the machine may be shared.
  timer=()
  [ -x /usr/bin/time ] && timer=(/usr/bin/time -f '%U %S' -o "$work/cpu")
  (cd "$work" && nice -n 19 "${timer[@]}" "$root/$dir/bin/$t" -max_total_time="$seconds" -timeout=25 \
     -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
     "$work/corpus") >"$work/log" 2>&1
  rc=$?
  set -e
  stats=$(grep -E '^#[0-9]+' "$work/log" | tail -n 1)
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")
  cov=$(echo "$stats" | sed -n 's/.* cov: \([0-9]*\).*/\1/p')
  ft=$(echo "$stats" | sed -n 's/.* ft: \([0-9]*\).*/\1/p')
  corpus=$(find "$work/corpus" -type f | wc -l)
  # Inputs libFuzzer kept only for being slow (over 10 s, as on a busy
  # machine) are reported, not counted as failures.
  crashes=$(find "$work/artifacts" -type f ! -name 'slow-unit-*' | wc -l)
  slow=$(find "$work/artifacts" -type f -name 'slow-unit-*' | wc -l)
  slowest=$(sed -n 's/^stat::slowest_unit_time_sec: *//p' "$work/log")
  # How far into the run coverage last grew: near the start means a plateau.
  lastNew=$(grep -E '^#[0-9]+[[:space:]]+(NEW|REDUCE)' "$work/log" | tail -n 1 | sed 's/^#\([0-9]*\).*/\1/')
  cpu=$( [ -f "$work/cpu" ] && awk 'NF == 2 { printf "%.0f", $1 + $2 }' "$work/cpu" )
  line="$t: runs=${runs:-?} cov=${cov:-?} ft=${ft:-?} cpu=${cpu:-?}s corpus=$seedCount->$corpus last-growth-at=${lastNew:-none}"
  if [ "$rc" -ne 0 ] || [ "$crashes" -ne 0 ]; then
    failed=1
    line="$line CRASH (exit $rc): $(find "$work/artifacts" -type f ! -name 'slow-unit-*' | head -n 3 | tr '\n' ' ')"
    grep -m 3 -E 'ERROR: |fuzz check failed|SUMMARY' "$work/log" | sed 's/^/    /' || true
  fi
  [ "$slow" -ne 0 ] && line="$line slow-units=$slow (slowest ${slowest:-?} s)"
  if [ "$grow" -eq 1 ] && [ "$rc" -eq 0 ] && [ "$crashes" -eq 0 ]; then
    # Keep only what adds coverage beyond the seeds, which stay where they are.
    merged="$work/merged"
    mkdir -p "$merged"
    [ -d "$seeds" ] && cp -r "$seeds/." "$merged/"
    before=$(find "$merged" -type f | wc -l)
    (cd "$work" && nice -n 19 "$root/$dir/bin/$t" -merge=1 -timeout=25 -rss_limit_mb=2048 \
       "$merged" "$work/corpus") >"$work/merge.log" 2>&1
    if [ -d "$seeds" ]; then
      (cd "$seeds" && find . -type f -printf '%P\n') | while read -r f; do rm -f "$merged/$f"; done
    fi
    rm -rf "$grown"
    mkdir -p "$grown"
    find "$merged" -type f -exec cp -t "$grown" {} +
    line="$line grown=$(find "$grown" -type f | wc -l) (merge from $before seeds)"
  fi
  echo "$line"
  summary+=("$line")
done
echo "== summary (${seconds}s per target; logs and corpora in $scratch)"
printf '%s\n' "${summary[@]}"
exit "$failed"
