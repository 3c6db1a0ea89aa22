# Sourced by the scripts that run the real trimlet.
#
# private_copy EXE [SUBFOLDER...]: a fresh folder $work, removed at exit (with the program
# whose id is in $pid, if any), holding a private copy of the program in $work/bin, so that its
# settings and temporary file are its own, its XDG folders and the given subfolders; the
# offscreen platform and the Japanese texts the tests read are selected.
# settings_file: the settings file that copy wrote, beside it or in its XDG folder.
# fail TEXT / finish: count a failure and go on; end with the count, or "all passed".

private_copy() {
  work=$(mktemp -d)
  pid=
  trap private_copy_cleanup EXIT
  mkdir -p "$work/bin" "$work/config" "$work/cache" "$work/runtime"
  local sub
  for sub in "${@:2}"; do mkdir -p "$work/$sub"; done
  chmod 700 "$work/runtime"
  cp "$1" "$work/bin/trimlet"
  export QT_QPA_PLATFORM=offscreen TRIMLET_LANG=ja XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime
}

private_copy_cleanup() {
  [ -z "${pid:-}" ] || kill -9 "$pid" 2>/dev/null || true
  rm -rf "$work"
}

settings_file() {
  local candidate
  for candidate in "$work/bin/trimlet.ini" "$work/config/trimlet/trimlet.ini"; do
    if [ -f "$candidate" ]; then
      echo "$candidate"
      return 0
    fi
  done
  return 1
}

# shellcheck source=tests/support/report.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/report.sh"
