#!/usr/bin/env bash
# A HEIF and AVIF module planted by another user where a copy of the programs looks for it:
# below a sticky folder everyone may write (as /tmp/lib beside a program in /tmp/NAME), and in
# the user's own prefix whose module folder others may write. The planted module's constructor
# leaves a marker; run as the user, trimlet-cli and the window must both say that support is
# missing, and the marker must never appear. The same file put in place by the user is
# loaded, and leaves the marker, so the module would have run had it been taken.
# Usage: planted_module.sh MODULE TRIMLET_CLI [TRIMLET]
set -euo pipefail
# shellcheck source=tests/support/report.sh
source "$(dirname "$0")/../support/report.sh"
if [ "$(id -u)" -ne 0 ]; then
  echo "acting as two users through setpriv needs root"
  exit 77
fi
for tool in setpriv cc; do
  command -v "$tool" > /dev/null || { echo "$tool is not installed"; exit 77; }
done
module=$1 cli=$2 window=${3:-}
planter=61000 user=61001
as() {
  local id=$1
  shift
  setpriv --reuid="$id" --regid="$id" --clear-groups "$@"
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 1777 "$work"  # plays /tmp
mkdir -m 1777 "$work/marks"
marker=$work/marks/ran
# Where the programs look for the module, from their own folder.
below=$(realpath --relative-to="$(dirname "$cli")" "$module")
heic=$work/lossy.heic
install -m 644 "$(dirname "$0")/../../fuzz/seeds/heic/lossy.heic" "$heic"

cat > "$work/planted.c" << EOF
#include <fcntl.h>
#include <unistd.h>
__attribute__((constructor)) static void planted(void)
{
    int fd = open("$marker", O_WRONLY | O_CREAT, 0666);
    if (fd >= 0)
        close(fd);
}
EOF
cc -shared -fPIC -o "$work/planted.so" "$work/planted.c"
chmod 644 "$work/planted.so"

# copy_programs FOLDER: the user's copies of trimlet-cli (and of the window) in FOLDER.
copy_programs() {
  as $user mkdir -p "$1"
  as $user cp "$cli" "$1/trimlet-cli"
  [ -z "$window" ] || as $user cp "$window" "$1/trimlet"
}
# run_window CASE FOLDER: the window in FOLDER, run as the user on the picture, into $out. A
# click waits for the picture, so it meets the box the failed load opens, and names it.
run_window() {
  local home=$work/home-$1
  as $user mkdir -p "$home/config" "$home/cache" "$home/runtime"
  chmod 700 "$home/runtime"
  out=$(cd "$home" && as $user env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache" \
        XDG_RUNTIME_DIR="$home/runtime" QT_QPA_PLATFORM=offscreen TRIMLET_ACTIONS="click:btnNoSuchButton" \
        timeout -k 5 60 "$2/trimlet" "$heic" 2>&1) || true
}
# expect_missing CASE FOLDER: the programs in FOLDER, run as the user, refuse the module (the
# window names no reason, only the picture it could not read).
expect_missing() {
  local status=0
  out=$(cd "$work" && as $user "$2/trimlet-cli" info "$heic" 2>&1) || status=$?
  [ "$status" -eq 1 ] || fail "$1: trimlet-cli exited with $status: $out"
  grep -qF "HEIF and AVIF support is missing" <<< "$out" || fail "$1: trimlet-cli said: $out"
  [ ! -e "$marker" ] || fail "$1: trimlet-cli ran the planted module"
  rm -f "$marker"
  [ -n "$window" ] || return 0
  run_window "$1" "$2"
  grep -qE "QMessageBox .* is open: .*lossy\.heic" <<< "$out" || fail "$1: the window said: $out"
  [ ! -e "$marker" ] || fail "$1: the window ran the planted module"
  rm -f "$marker"
}

# Another user's lib/trimlet in the sticky folder above the user's own program folder.
copy_programs "$work/NAME"
planted=$(realpath -m "$work/NAME/$below")
as $planter mkdir -p "$(dirname "$planted")"
as $planter cp "$work/planted.so" "$planted"
expect_missing sticky "$work/NAME"

# The user's own prefix, its module folder left writable by others: the user's own file
# there could have been replaced.
copy_programs "$work/own/bin"
mine=$(realpath -m "$work/own/bin/$below")
as $user mkdir -p "$(dirname "$mine")"
as $user cp "$work/planted.so" "$mine"
chmod 777 "$(dirname "$mine")"
expect_missing writable "$work/own/bin"

# Closed to others, the same file is the user's own and is loaded, then refused as not ours.
chmod 755 "$(dirname "$mine")"
out=$(as $user "$work/own/bin/trimlet-cli" info "$heic" 2>&1) || true
[ -e "$marker" ] || fail "the user's own module was not loaded: $out"
grep -qF "is not trimlet's HEIF and AVIF module" <<< "$out" || fail "the user's own stand-in: $out"
rm -f "$marker"
if [ -n "$window" ]; then
  run_window own "$work/own/bin"
  [ -e "$marker" ] || fail "the window did not load the user's own module: $out"
fi
finish
