#!/usr/bin/env bash
# Installs the Debian packages a task needs. Does nothing when all are present; never asks a
# question.
#   install-deps.sh run    building and running the window program and trimlet-cli (./run.sh)
#   install-deps.sh deb    the above, plus the Debian packaging tools (scripts/make-deb.sh)
#   install-deps.sh test   the above, plus tests, fuzzing, benchmarks, style checks, screenshots,
#                          the X and Wayland tools the window tests drive and the Debian
#                          packaging tools (./test.sh; the default)
set -euo pipefail

run_packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev qt6-translations-l10n
  libjpeg62-turbo-dev libpng-dev libdeflate-dev zlib1g-dev libgif-dev
  libwebp-dev libavif-dev libdav1d-dev libheif-dev libtiff-dev liblcms2-dev
  libraw-dev libjxl-dev
  qt6-tools-dev qt6-l10n-tools
  fonts-ipafont-gothic
)
# Building the Debian packages (scripts/make-deb.sh): the build tools and lintian.
deb_packages=(debhelper dpkg-dev fakeroot lintian ccache)
test_packages=(
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format clang-tidy
  libjpeg-turbo-progs imagemagick libvips-tools libvips-dev feh
  xvfb xauth x11-utils xdotool openbox wmctrl
  desktop-file-utils appstream groff-base man-db
  webp libavif-bin libheif-examples libtiff-tools liblcms2-utils libimage-exiftool-perl
  libraw-bin libjxl-tools
  icc-profiles-free
  "${deb_packages[@]}"
  weston qt6-wayland
)

case "${1:-test}" in
  run) packages=("${run_packages[@]}") ;;
  deb) packages=("${run_packages[@]}" "${deb_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  list-run) printf '%s\n' "${run_packages[@]}"; exit 0 ;;
  list-test) printf '%s\n' "${run_packages[@]}" "${test_packages[@]}"; exit 0 ;;
  *) echo "usage: install-deps.sh [run|deb|test|list-run|list-test]" >&2; exit 2 ;;
esac

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
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
