#!/usr/bin/env bash
# Fails when clang-format would change a C++ file of the project or clang-tidy finds anything.
#   scripts/check-style.sh [--format-only] [BUILD_DIR]
# BUILD_DIR (default build) holds compile_commands.json. clang-tidy checks the compiled
# sources outside tests/ (gtest's and QtTest's macros only make noise there), and through them
# the project's headers. CHECK_STYLE_JOBS sets how many clang-tidy processes run at once (2).
set -uo pipefail
cd "$(dirname "$0")/.."
format_only=0
if [ "${1:-}" = --format-only ]; then
  format_only=1
  shift
fi
build="${1:-build}"
jobs="${CHECK_STYLE_JOBS:-2}"
folders=(base codecs imaging settings document cli platform forms app tests bench fuzz)
status=0

# Tracked files only, so build folders and scratch files never count.
mapfile -t sources < <(git ls-files -- "${folders[@]/%//}" | grep -E '\.(cpp|h)$')
if [ ${#sources[@]} -eq 0 ]; then
  echo "check-style: no C++ files found" >&2
  exit 1
fi

unformatted=()
for f in "${sources[@]}"; do
  if ! clang-format --style=file --dry-run --Werror "$f" >/dev/null 2>&1; then
    unformatted+=("$f")
  fi
done
if [ ${#unformatted[@]} -gt 0 ]; then
  echo "check-style: clang-format would change ${#unformatted[@]} file(s):" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  echo "  fix with: clang-format -i FILE..." >&2
  status=1
fi
# Shell scripts that no test runs (fuzzing, benchmarks, mutation) are at least parsed.
mapfile -t scripts < <(git ls-files -- '*.sh')
for f in "${scripts[@]}"; do
  if ! bash -n "$f" 2>/dev/null; then
    echo "check-style: $f is not valid shell:" >&2
    bash -n "$f" 2>&1 | sed 's/^/  /' >&2
    status=1
  fi
done

if [ $format_only -eq 1 ]; then
  [ $status -eq 0 ] && echo "check-style: ${#sources[@]} files formatted"
  exit $status
fi

if [ ! -f "$build/compile_commands.json" ]; then
  echo "check-style: $build/compile_commands.json is missing; build first" >&2
  exit 1
fi
# The translation units that were compiled in this build.
mapfile -t units < <(printf '%s\n' "${sources[@]}" | grep -E '\.cpp$' | grep -v '^tests/' |
  while read -r f; do
  grep -qF "\"file\": \"$PWD/$f\"" "$build/compile_commands.json" && echo "$f"
done)
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
printf '%s\n' "${units[@]}" |
  xargs -P "$jobs" -n 2 clang-tidy -p "$build" --quiet --extra-arg=-Wno-unknown-warning-option >"$log" 2>&1
tidy=$?
if [ $tidy -ne 0 ] || grep -qE '(warning|error):' "$log"; then
  grep -E -A3 '(warning|error):' "$log" >&2
  echo "check-style: clang-tidy found the problems above (${#units[@]} files checked)" >&2
  status=1
else
  echo "check-style: ${#units[@]} files pass clang-tidy"
fi
[ $status -eq 0 ] && echo "check-style: ${#sources[@]} files formatted"
exit $status
