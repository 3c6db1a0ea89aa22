#!/usr/bin/env bash
# The real programs' written files: never set-uid or executable (--force over a set-uid file
# gives a plain file), names of up to 255 bytes can be written, no temporary is left beside
# them, and (when the window program is given) the preview's temporary JPEG is its owner's alone.
# Usage: file_modes.sh TRIMLET_CLI [TRIMLET]
set -euo pipefail
cli=$1
window=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=tests/support/report.sh
source "$(dirname "$0")/../support/report.sh"
umask 022
cd "$work"

convert -size 300x200 gradient:orange-navy in.bmp
mode() { stat -c %a "$1"; }

"$cli" in.bmp --output new.jpg > /dev/null
[ "$(mode new.jpg)" = 644 ] || fail "new file has mode $(mode new.jpg)"
cp new.jpg setuid.jpg
chmod 6755 setuid.jpg
"$cli" in.bmp --output setuid.jpg --force > /dev/null
[ "$(mode setuid.jpg)" = 644 ] || fail "--force over a set-uid file gave mode $(mode setuid.jpg)"

long=$(printf 'n%.0s' $(seq 251)).bmp   # 255 bytes, the most a name may have
"$cli" in.bmp --output "$long" > /dev/null || fail "a 255-byte name was not written"
[ -s "$long" ] || fail "the 255-byte name is missing"
"$cli" in.bmp --output "$long" --force > /dev/null || fail "a 255-byte name was not replaced"
base=$(printf 'b%.0s' $(seq 245))
cp in.bmp "$base.bmp"
"$cli" "$base.bmp" --save --format bmp > /dev/null || fail "a 251-byte serial name was not written"
[ -s "$base(1).bmp" ] || fail "the serial name is missing"
leftovers=$(find . -name '.*' ! -name . | wc -l)
[ "$leftovers" -eq 0 ] || fail "temporaries left: $(ls -A)"

if [ -n "$window" ]; then
  mkdir -p bin config cache runtime
  chmod 700 runtime
  cp "$window" bin/trimlet  # a private copy keeps its temporary JPEG beside it
  export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime
  TRIMLET_ACTIONS="click:btnPreview;wait:3000;close" timeout 60 bin/trimlet "$work/in.bmp" 2> err &
  pid=$!
  seen=""
  for _ in $(seq 100); do
    for temp in bin/trimlet.jpg cache/trimlet/trimlet.jpg; do
      [ -s "$temp" ] && seen=$(mode "$temp") && break 2
    done
    sleep 0.1
  done
  wait $pid || fail "trimlet exited with $?: $(cat err)"
  [ "$seen" = 600 ] || fail "the preview's temporary JPEG had mode '${seen:-never seen}'"
fi

finish "file modes: plain files, long names, a private temporary JPEG"
