#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite.
# Usage: tools/test.sh [plain|asan|tsan] [extra ctest arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-plain}
[ $# -gt 0 ] && shift
dir=$(tools/build.sh "$kind" | tail -n 1)
cd "$dir"
ctest --output-on-failure -j2 "$@"
