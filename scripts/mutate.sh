#!/usr/bin/env bash
# Mutation testing: applies each small fault of scripts/mutants.txt on its own, rebuilds
# build-mutate incrementally, runs the tests the mutant names and tells whether they noticed.
#   scripts/mutate.sh [ID...]      every mutant, or only those named
#   MUTANTS=FILE scripts/mutate.sh another list
# A mutant is "killed" when a test fails, "survived" when all pass, "invalid" when its text is
# not found exactly once or the mutated code does not compile; invalid and equivalent mutants
# are left out of the totals. The source file is restored after each mutant, also on Ctrl-C.
set -uo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
list="${MUTANTS:-scripts/mutants.txt}"
build="$root/build-mutate"
wanted=("$@")

# Mutants: id area file text replacement regex description, split on " | ".
ids=() areas=() files=() froms=() tos=() regexes=() descriptions=()
while IFS= read -r line || [ -n "$line" ]; do
  [[ -z "${line// /}" || "$line" == \#* ]] && continue
  fields=()
  rest="$line"
  while [[ "$rest" == *" | "* ]]; do
    fields+=("${rest%% | *}")
    rest="${rest#* | }"
  done
  fields+=("$rest")
  if [ ${#fields[@]} -ne 7 ]; then
    echo "mutate: $list: not 7 fields: $line" >&2
    exit 2
  fi
  if [ ${#wanted[@]} -gt 0 ] && [[ " ${wanted[*]} " != *" ${fields[0]} "* ]]; then
    continue
  fi
  ids+=("${fields[0]}") areas+=("${fields[1]}") files+=("${fields[2]}") froms+=("${fields[3]}")
  tos+=("${fields[4]}") regexes+=("${fields[5]}") descriptions+=("${fields[6]}")
done <"$list"
[ ${#ids[@]} -eq 0 ] && { echo "mutate: no mutant selected" >&2; exit 2; }

# Replaces the one occurrence of MUT_FROM in FILE by MUT_TO; exit 3 when not exactly one.
replace_once() {
  MUT_FROM="$2" MUT_TO="$3" python3 - "$1" <<'PY'
import os, sys
path = sys.argv[1]
src = open(path, encoding="utf-8", newline="").read()
old, new = os.environ["MUT_FROM"], os.environ["MUT_TO"]
if src.count(old) != 1:
    sys.exit(3)
open(path, "w", encoding="utf-8", newline="").write(src.replace(old, new))
PY
}

backup="$(mktemp)"
mutated=""
restore() {
  if [ -n "$mutated" ]; then
    # A fresh time stamp, so that the next build compiles the original again.
    cat "$backup" >"$mutated" && touch "$mutated"
    mutated=""
  fi
}
trap 'restore; rm -f "$backup"' EXIT
trap 'echo "mutate: interrupted; the mutated file is restored" >&2; exit 130' INT TERM

gui=OFF
for f in "${files[@]}"; do
  case "$f" in forms/* | platform/* | app/*) gui=ON ;; esac
done
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
echo "mutate: configuring and building $build" >&2
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRIMLET_GUI=$gui \
  -DTRIMLET_TESTS=ON -DTRIMLET_BENCH=OFF -DTRIMLET_FUZZ=OFF -DTRIMLET_SANITIZE=OFF "${launcher[@]}" >/dev/null ||
  exit 2
cmake --build "$build" -j2 >/dev/null || { echo "mutate: the unmutated tree does not build" >&2; exit 2; }

# The named tests must exist and pass on the unmutated tree before a fault can be said to be
# found by them.
declare -A baseline=()
for regex in "${regexes[@]}"; do
  [ -n "${baseline[$regex]:-}" ] && continue
  count=$(ctest --test-dir "$build" -N -R "$regex" 2>/dev/null | sed -n 's/^Total Tests: //p')
  if [ "${count:-0}" -eq 0 ]; then
    baseline[$regex]=none
  elif ctest --test-dir "$build" -R "$regex" -j2 --timeout 120 >/dev/null 2>&1; then
    baseline[$regex]=pass
  else
    baseline[$regex]=fail
  fi
done

results=()
start=$SECONDS
for i in "${!ids[@]}"; do
  id="${ids[$i]}" file="${files[$i]}" regex="${regexes[$i]}" t0=$SECONDS
  result=""
  if [[ "${descriptions[$i]}" == equivalent:* ]]; then
    result=equivalent
  elif [ ! -f "$file" ]; then
    result=invalid
  else
    cp "$file" "$backup"
    if [ "${baseline[$regex]}" != pass ]; then
      result="invalid"
      echo "mutate: $id: tests '$regex': ${baseline[$regex]} on the unmutated tree" >&2
    elif mutated="$file" && ! replace_once "$file" "${froms[$i]}" "${tos[$i]}"; then
      restore
      result=invalid
      echo "mutate: $id: text not found exactly once in $file" >&2
    else
      if ! cmake --build "$build" -j2 >/dev/null 2>&1; then
        result=invalid
        echo "mutate: $id: does not compile" >&2
      elif ctest --test-dir "$build" -R "$regex" -j2 --timeout 120 >/dev/null 2>&1; then
        result=survived
      else
        result=killed
      fi
      restore
    fi
  fi
  results+=("$result")
  printf '%-6s %-9s %-8s %4ss  %s\n' "$id" "${areas[$i]}" "$result" $((SECONDS - t0)) "${descriptions[$i]}" >&2
done
restore
cmake --build "$build" -j2 >/dev/null 2>&1  # leave the build matching the sources

echo
printf '| %s | %s | %s | %s | %s |\n' id file description result area
printf '|---|---|---|---|---|\n'
for i in "${!ids[@]}"; do
  printf '| %s | %s | %s | %s | %s |\n' "${ids[$i]}" "${files[$i]}" "${descriptions[$i]}" "${results[$i]}" "${areas[$i]}"
done
echo
# Totals over the mutants that count: killed and survived.
summary() {
  local label="$1" k=0 s=0 n=0 o=0
  for i in "${!ids[@]}"; do
    [ "$label" != all ] && [ "${areas[$i]}" != "$label" ] && continue
    case "${results[$i]}" in
      killed) k=$((k + 1)) ;;
      survived) s=$((s + 1)) ;;
      invalid) n=$((n + 1)) ;;
      *) o=$((o + 1)) ;;
    esac
  done
  [ $((k + s + n + o)) -eq 0 ] && return
  local pct="-"
  [ $((k + s)) -gt 0 ] && pct="$((100 * k / (k + s)))%"
  printf '| %s | %d | %d | %d | %d | %s |\n' "$label" "$k" "$s" "$n" "$o" "$pct"
}
printf '| area | killed | survived | invalid | equivalent | killed of counted |\n|---|--:|--:|--:|--:|--:|\n'
for a in codecs imaging settings document cli forms base all; do summary "$a"; done
echo "mutate: $((SECONDS - start)) s" >&2
for r in "${results[@]}"; do [ "$r" = survived ] && exit 1; done
exit 0
