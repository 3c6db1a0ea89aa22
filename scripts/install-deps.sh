#!/usr/bin/env bash
# Installs the Debian packages that building, testing, installing, fuzzing, screenshots and
# benchmarks need. Does nothing when all are present; never asks a question.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev qt6-translations-l10n
  libjpeg62-turbo-dev libpng-dev zlib1g-dev libgif-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  fonts-ipafont-gothic
  libjpeg-turbo-progs imagemagick libvips-tools
  xvfb xauth x11-utils xdotool openbox wmctrl
  desktop-file-utils appstream groff-base man-db
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}" >&2
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo for: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
