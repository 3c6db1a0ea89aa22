#!/usr/bin/env bash
# Fails when translations/*.ts and the window program's texts differ: lupdate reads the sources
# into a temporary copy of each file, which must come out unchanged, and every text must have
# its translation. With --update it writes lupdate's result into the files themselves.
#   scripts/check-translations.sh [--update]
# LUPDATE names the lupdate program; by default Qt 6's (Debian: qt6-l10n-tools).
set -uo pipefail
cd "$(dirname "$0")/.."
update=0
if [ "${1:-}" = --update ]; then
  update=1
  shift
fi

lupdate=${LUPDATE:-}
if [ -z "$lupdate" ]; then
  for qtpaths in qtpaths6 qtpaths /usr/lib/qt6/bin/qtpaths; do
    bins=$("$qtpaths" --query QT_INSTALL_BINS 2>/dev/null) && [ -x "$bins/lupdate" ] && { lupdate=$bins/lupdate; break; }
  done
  [ -n "$lupdate" ] || lupdate=/usr/lib/qt6/bin/lupdate
fi
[ -x "$lupdate" ] || command -v "$lupdate" >/dev/null || { echo "check-translations: no lupdate ($lupdate)" >&2; exit 1; }

# The window program's folders; trimlet-cli speaks English only. Without line numbers, so
# that moving code changes no .ts file.
refresh() {  # refresh TS_FILE
  "$lupdate" -silent -I . -locations none -no-obsolete -source-language ja \
    -target-language "$(basename "$1" .ts | sed 's/^trimlet_//')" app forms platform settings -ts "$1"
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for ts in translations/trimlet_*.ts; do
  cp "$ts" "$work/$(basename "$ts")"
  refresh "$work/$(basename "$ts")" || { echo "check-translations: lupdate failed on $ts" >&2; exit 1; }
  if [ "$update" -eq 1 ]; then
    cp "$work/$(basename "$ts")" "$ts"
  elif ! cmp -s "$ts" "$work/$(basename "$ts")"; then
    echo "check-translations: $ts does not hold the texts the sources give to tr():" >&2
    diff -u "$ts" "$work/$(basename "$ts")" | grep -E '^[-+] .*<source>' | head -n 20 >&2
    echo "  refresh it with: scripts/check-translations.sh --update" >&2
    status=1
    continue
  fi
  unfinished=$(grep -c 'type="unfinished"' "$ts")
  if [ "$unfinished" -gt 0 ]; then
    echo "check-translations: $ts has $unfinished text(s) without a translation;" \
      "translate them (Qt Linguist: linguist $ts, or by hand) and run the tests" >&2
    status=1
  fi
done
[ "$status" -eq 0 ] && [ "$update" -eq 0 ] && echo "check-translations: translations are up to date"
exit "$status"
