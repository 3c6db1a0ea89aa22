#!/usr/bin/env bash
# Builds the Debian packages trimlet, trimlet-cli and trimlet-heif from this tree (with its
# uncommitted changes) and checks them with lintian. The build runs in a temporary copy, so the
# tree gets no debian/ build files; the packages, .changes and .buildinfo land in OUTPUT_DIR.
# Usage: scripts/make-deb.sh [OUTPUT_DIR]     (default: dist/)
# DEB_BUILD_OPTIONS is passed on (default: "nocheck parallel=<cores>").
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/dist}")

"$root/scripts/install-deps.sh" deb

version=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
src=$work/trimlet-$version
mkdir "$src"
if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  # Tracked and new files as they are now; files deleted but not yet committed are left out.
  (cd "$root" && git ls-files -z --cached --others --exclude-standard \
     | while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done \
     | tar --null -T - -cf -) | tar -C "$src" -xf -
else
  tar -C "$root" --exclude='./build*' --exclude=./dist --exclude=./.git -cf - . | tar -C "$src" -xf -
fi

export DEB_BUILD_OPTIONS=${DEB_BUILD_OPTIONS:-"nocheck parallel=$(nproc)"}
if command -v ccache >/dev/null; then
  # debhelper gives the build a home of its own, where ccache would start empty each time;
  # the base folder lets one temporary copy hit what another one compiled.
  CCACHE_DIR=$(ccache -k cache_dir)
  export CCACHE_DIR CCACHE_BASEDIR=$work CCACHE_NOHASHDIR=1
fi
(cd "$src" && dpkg-buildpackage -us -uc -b)

mkdir -p "$out"
changes=$(ls "$work"/*.changes)
cp "$work"/*.deb "$work"/*.changes "$work"/*.buildinfo "$out"/
cp "$work"/*.ddeb "$out"/ 2>/dev/null || true
# Errors and warnings fail the build; notes are shown for information.
lintian -i --fail-on error,warning "$out/${changes##*/}"
echo "make-deb: packages in $out:"
ls -1 "$out"/*.deb
