#!/usr/bin/env bash
# Configures (once) and builds incrementally. Usage: tools/build.sh [plain|asan|tsan]
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
[ -f "$dir/build.ninja" ] || cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
echo "$dir"
