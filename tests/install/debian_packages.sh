#!/usr/bin/env bash
# Builds the Debian packages (the two programs and their HEIF and AVIF module) with
# scripts/make-deb.sh (which fails on any lintian error or warning), installs them with apt as
# a user would, uses both installed programs, then purges
# them and checks that the system is as it was: no file of theirs left, no package added.
# Skipped (exit 77) without root or password-free sudo, without the Debian tools, or when
# trimlet is installed already (the test would remove it), or with TRIMLET_SKIP_PACKAGE_TEST
# set for a quick run.
# Usage: debian_packages.sh SOURCE_DIR VERSION
set -uo pipefail
source=$1 version=$2

skip() { echo "SKIPPED: $*"; exit 77; }
[ -n "${TRIMLET_SKIP_PACKAGE_TEST:-}" ] && skip "TRIMLET_SKIP_PACKAGE_TEST is set"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo -n true 2>/dev/null || skip "needs root or password-free sudo to install packages"
  sudo=(sudo -n)
fi
for tool in dpkg-buildpackage dh apt-get lintian fakeroot convert; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps.sh test)"
done
for package in trimlet trimlet-cli trimlet-heif; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'installed' \
    && skip "$package is installed on this system; the test would purge it"
done

work=$(mktemp -d)
chmod 755 "$work"  # apt's sandbox user reads the .deb files from here
installed=no
passed=0 failed=0
check() {  # check NAME COMMAND...: one result line per check
  if "${@:2}"; then passed=$((passed + 1)); else echo "FAILED: $1"; failed=$((failed + 1)); fi
}
packages() { dpkg-query -W -f='${db:Status-Abbrev} ${binary:Package}\n' | awk '$1 ~ /^.i/ { print $2 }' | sort; }
purge() {
  [ "$installed" = yes ] || return 0
  installed=no
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq trimlet trimlet-cli trimlet-heif >"$work/purge.log" 2>&1
  # What apt pulled in for them goes too, and only that.
  mapfile -t added < <(comm -13 "$work/packages.before" <(packages))
  [ ${#added[@]} -eq 0 ] || "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq "${added[@]}" >>"$work/purge.log" 2>&1
}
trap 'purge; rm -rf "$work"' EXIT

# --- build: a release build of the whole project, without tests (this is the long part)
start=$SECONDS
DEB_BUILD_OPTIONS="nocheck noddebs parallel=$(nproc)" "$source/scripts/make-deb.sh" "$work/out" >"$work/build.log" 2>&1
status=$?
echo "package build and lintian: $((SECONDS - start)) s"
if [ "$status" -ne 0 ]; then tail -60 "$work/build.log"; echo "FAILED: make-deb.sh exited with $status"; exit 1; fi
sed -n '/^make-deb: packages/,$p' "$work/build.log"
cli_deb=$(ls "$work"/out/trimlet-cli_"$version"_*.deb 2>/dev/null)
gui_deb=$(ls "$work"/out/trimlet_"$version"_*.deb 2>/dev/null)
heif_deb=$(ls "$work"/out/trimlet-heif_"$version"_*.deb 2>/dev/null)
check "the three packages built at $version" test -f "$cli_deb" -a -f "$gui_deb" -a -f "$heif_deb"
[ "$failed" -eq 0 ] || exit 1

# The command-line tool must not pull in Qt's widgets, the window program must get them.
check "trimlet-cli depends on no Qt" bash -c "! dpkg-deb -f '$cli_deb' Depends | grep -qi qt"
check "trimlet depends on Qt Widgets" bash -c "dpkg-deb -f '$gui_deb' Depends | grep -q libqt6widgets6"
check "trimlet depends on the codec libraries" bash -c "dpkg-deb -f '$gui_deb' Depends | grep -q libjpeg"
# libheif and libavif come with the module that only a HEIF or AVIF file loads.
for deb in "$cli_deb" "$gui_deb"; do
  check "${deb##*/} depends on trimlet-heif of its version" \
    bash -c "dpkg-deb -f '$deb' Depends | grep -qF 'trimlet-heif (= $version)'"
  check "${deb##*/} links neither libheif nor libavif" bash -c "! dpkg-deb -f '$deb' Depends | grep -qE 'libheif|libavif'"
done
check "trimlet-heif depends on libheif and libavif" \
  bash -c "dpkg-deb -f '$heif_deb' Depends | grep -q libheif && dpkg-deb -f '$heif_deb' Depends | grep -q libavif"

# --- install
packages >"$work/packages.before"
# Which of the packages' paths are there before, to tell their own folders from shared ones.
for deb in "$cli_deb" "$gui_deb" "$heif_deb"; do dpkg-deb --fsys-tarfile "$deb" | tar -t; done \
  | sed 's|^\./*|/|; s|/$||' | grep -v '^$' | sort -u >"$work/paths"
while IFS= read -r path; do [ -e "$path" ] || [ -L "$path" ] && echo "$path"; done <"$work/paths" >"$work/paths.before"
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  "$cli_deb" "$gui_deb" "$heif_deb" >"$work/install.log" 2>&1 && installed=yes
check "apt-get install ./*.deb" test "$installed" = yes
[ "$installed" = yes ] || { cat "$work/install.log"; exit 1; }
check "every packaged path installed" test -z "$(while IFS= read -r p; do [ -e "$p" ] || echo "$p"; done <"$work/paths")"

# --- the installed command-line tool
check "trimlet-cli --version" test "$(/usr/bin/trimlet-cli --version)" = "trimlet-cli $version"
check "trimlet --version" test "$(/usr/bin/trimlet --version)" = "trimlet $version"
mkdir -p "$work/pictures" "$work/home" "$work/config" "$work/cache" && mkdir -m 700 "$work/runtime"
convert -size 1000x700 gradient:orange-navy "$work/pictures/photo.png"
check "trimlet-cli info" test "$(/usr/bin/trimlet-cli info "$work/pictures/photo.png")" = "$work/pictures/photo.png	png	1000	700"
/usr/bin/trimlet-cli "$work/pictures/photo.png" --cut 480x320@50 --output "$work/cut.jpg" >/dev/null 2>"$work/cli.err"
check "trimlet-cli cuts" test "$(/usr/bin/trimlet-cli info "$work/cut.jpg" 2>&1)" = "$work/cut.jpg	jpeg	480	320"
heic=$source/fuzz/seeds/heic/lossy.heic avif=$source/fuzz/seeds/avif/grey.avif
check "trimlet-cli reads HEIF and AVIF through the module" \
  test "$(/usr/bin/trimlet-cli info "$heic" "$avif" 2>&1)" = "$heic	heif	23	17
$avif	avif	23	17"

# --- the installed window program, offscreen, with a picture: a save proves it was loaded
env HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime" \
  QT_QPA_PLATFORM=offscreen TRIMLET_ACTIONS="click:btnSave;wait:300;close" \
  timeout 60 /usr/bin/trimlet "$work/pictures/photo.png" >"$work/trimlet.log" 2>&1
status=$?
check "installed trimlet runs and closes (status $status)" test "$status" = 0
check "installed trimlet saved a piece of its picture" test -s "$work/pictures/photo(1).jpg"
[ "$status" = 0 ] || cat "$work/trimlet.log"

# --- purge: nothing of the packages is left, and no package they pulled in
purge
check "the packages purged" test -z "$(dpkg-query -W -f='${binary:Package}\n' trimlet trimlet-cli trimlet-heif 2>/dev/null)"
left=()
while IFS= read -r path; do
  { [ -e "$path" ] || [ -L "$path" ]; } && ! grep -qxF -- "$path" "$work/paths.before" && left+=("$path")
done <"$work/paths"
check "no installed file left after purge${left:+: ${left[*]}}" test ${#left[@]} -eq 0
check "no package left that apt added" cmp -s "$work/packages.before" <(packages)
[ "$failed" -eq 0 ] || { cat "$work/purge.log"; diff "$work/packages.before" <(packages); }

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
