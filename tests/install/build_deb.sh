#!/usr/bin/env bash
# Makes the Debian package as a release would, for the tests that inspect it.
# Usage: build_deb.sh CPACK CPACK_CONFIG OUT_DIR
# Exit status 77 (skipped) where dpkg's tools are missing.
set -euo pipefail
for tool in dpkg-deb dpkg-shlibdeps file; do
  command -v "$tool" >/dev/null 2>&1 || {
    echo "$tool is missing: no Debian package here (tools/install-deps.sh brings it)" >&2
    exit 77
  }
done
rm -rf "$3"
mkdir -p "$3"
"$1" -G DEB --config "$2" -B "$3"
