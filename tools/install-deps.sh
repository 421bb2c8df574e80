#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
# Progress goes to standard error, so callers can keep standard output clean.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libusb-1.0-0-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # Only the live view benchmark links it: the converter is measured against it.
  libyuv-dev
  clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  xvfb xauth
  # Installing and packaging: icons rendered from SVG, the HTML user guide,
  # checks of the desktop entry, metainfo and manual pages, the .deb.
  librsvg2-bin cmark-gfm desktop-file-utils appstream man-db file dpkg-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo=(sudo)
  else
    echo "Kolvex needs ${#missing[@]} Debian packages that are not installed; as root, run: apt-get install ${missing[*]}" >&2
    exit 1
  fi
fi

echo "Installing ${#missing[@]} Debian packages: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq >&2
# One line per package as it is set up: enough to see it move, quiet enough to read.
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" 2>&1 |
  grep --line-buffered -E '^(Setting up|E:)' >&2 || true
for p in "${missing[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || {
    echo "Could not install $p (see apt-get's message above)" >&2
    exit 1
  }
done
