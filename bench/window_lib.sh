# shellcheck shell=bash
# Sourced by the window benchmarks once they run on their own X server: a work folder $work
# (removed at exit with everything in `pids`), openbox, private XDG folders, and a private copy
# of the program ($1) in $work/bin, which keeps its settings beside itself, with the HEIF module
# of its build ($2) where it looks for it.
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -9 "$p" 2> /dev/null || true; done
  wait 2> /dev/null || true
  if [ -n "${TRIMLET_WINDOW_KEEP:-}" ]; then echo "kept $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT
openbox > /dev/null 2>&1 & pids+=($!)
sleep 0.5
mkdir -p "$work/bin" "$work/config" "$work/cache" "$work/runtime" "$work/lib/trimlet"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime
unset TRIMLET_ACTIONS QT_SCALE_FACTOR
export QT_QPA_PLATFORM=xcb
cp "$1" "$work/bin/trimlet"
[ ! -f "$2/lib/trimlet/heif-avif.so" ] || cp "$2/lib/trimlet/heif-avif.so" "$work/lib/trimlet/"
now() { date +%s.%N; }
