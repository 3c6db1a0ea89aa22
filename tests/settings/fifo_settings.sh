#!/usr/bin/env bash
# The real trimlet with a FIFO where its settings file belongs (a portable copy's folder):
# it must start and run its steps, not wait for good for someone to write into the FIFO,
# and must leave the FIFO alone.
# Usage: fifo_settings.sh TRIMLET_EXECUTABLE
set -euo pipefail
. "$(dirname "$0")/../app/private_copy.sh"
private_copy "$1"
mkfifo "$work/bin/trimlet.ini"

# The steps run after the first showing, which reads the settings; a step that cannot run
# says so on standard error.
TRIMLET_ACTIONS="click:btnNoSuchButton" "$work/bin/trimlet" 2>"$work/stderr" &
pid=$!
disown "$pid"
for _ in $(seq 300); do
  grep -q TRIMLET_ACTIONS "$work/stderr" && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if ! grep -q TRIMLET_ACTIONS "$work/stderr"; then
  echo "FAIL: trimlet did not get past reading its settings: $(cat "$work/stderr")"
  exit 1
fi
# Closing tried to write the settings; the FIFO is still what it was.
sleep 1
if [ ! -p "$work/bin/trimlet.ini" ]; then
  echo "FAIL: the FIFO was replaced"
  exit 1
fi
echo "PASS"
