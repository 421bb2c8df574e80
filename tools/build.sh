#!/usr/bin/env bash
# Configures (once) and builds incrementally. Usage: tools/build.sh [plain|asan|tsan]
# Progress goes to standard error; the last line on standard output is the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-plain}
case "$kind" in
  plain) dir=build; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan)  dir=build-asan; flags=(-DCMAKE_BUILD_TYPE=Debug -DKVX_SANITIZE=address -DKVX_BUILD_BENCH=OFF) ;;
  tsan)  dir=build-tsan; flags=(-DCMAKE_BUILD_TYPE=Debug -DKVX_SANITIZE=thread -DKVX_BUILD_BENCH=OFF) ;;
  *) echo "usage: $0 [plain|asan|tsan]" >&2; exit 2 ;;
esac
tools/install-deps.sh
if [ ! -f "$dir/build.ninja" ]; then
  echo "Configuring $dir ..." >&2
  mkdir -p "$dir"
  cmake -S . -B "$dir" -G Ninja "${flags[@]}" >"$dir/configure.log" 2>&1 || {
    cat "$dir/configure.log" >&2
    exit 1
  }
fi
# Ninja shows "[step/steps]" as it goes; on a terminal that is one updating line.
NINJA_STATUS="[%f/%t] " cmake --build "$dir" -j"$(nproc)" >&2
echo "$dir"
