# shellcheck shell=bash
# Sourced by the test scripts: `fail TEXT` counts a failure and goes on; `finish [TEXT]` ends
# with the count, or with TEXT (default "all passed") when nothing failed.
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures failed"
    exit 1
  fi
  echo "${1:-all passed}"
}
