#!/usr/bin/env bash
# Mutation testing: applies each small fault of scripts/mutants.txt on its own, rebuilds
# build-mutate incrementally, runs the tests the mutant names and tells whether they noticed.
#   scripts/mutate.sh [ID...]          every mutant, or only those named
#   scripts/mutate.sh --whole [ID...]  each mutant against the whole unit suite instead: every
#                                      CTest test but those of $whole_exclude below
#   scripts/mutate.sh --check          only checks the list, builds nothing
#   MUTANTS=FILE scripts/mutate.sh another list
# Before anything is built the whole list is checked: seven fields, unique ids, the file there
# and the text found in it exactly once; any fault stops the run, naming the mutant.
# A mutant is "killed" when a test fails, "survived" when all pass, "invalid" when the mutated
# code does not compile or its named tests do not pass unmutated; invalid and equivalent
# mutants are left out of the totals. The whole suite stops at the first failing test. The
# source file is restored after each mutant, also on Ctrl-C.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2
root="$PWD"
list="${MUTANTS:-scripts/mutants.txt}"
build="$root/build-mutate"
mode=named
case "${1:-}" in
  --check) mode=check; shift ;;
  --whole) mode=whole; shift ;;
esac
wanted=("$@")
# Not unit tests, and slow: the list checks, the install and the Debian packages, the real
# programs started by scripts (also on hostile files and on Wayland), and the tests on X
# servers of their own.
whole_exclude='^(qt_free_layers|size_budgets|install_layout|release_notes|debian_packages|wayland|'
whole_exclude+='two_instances|real_program|fifo_settings|window_placement|two_sessions|session_end|'
whole_exclude+='memory_limit|foreign_names|hostile_files|file_modes|frm_main_slots_real_drags|'
whole_exclude+='frm_real_keys|desktop_tests)$'

# The whole list, whatever is selected: a mutant that no longer applies is a fault of the list.
python3 - "$list" <<'PY' || exit 2
import os, sys
path = sys.argv[1]
faults, seen, count = [], set(), 0
for number, line in enumerate(open(path, encoding="utf-8", newline=""), 1):
    line = line.rstrip("\n")
    if not line.replace(" ", "") or line.startswith("#"):
        continue
    fields = line.split(" | ")
    where = f"{path}:{number}"
    if len(fields) != 7:
        faults.append(f"{where}: not 7 fields: {line}")
        continue
    count += 1
    ident, file, text = fields[0], fields[2], fields[3]
    if ident in seen:
        faults.append(f"{where}: {ident}: id used twice")
    seen.add(ident)
    if not os.path.isfile(file):
        faults.append(f"{where}: {ident}: {file} not found")
        continue
    found = open(file, encoding="utf-8", newline="").read().count(text)
    if found != 1:
        faults.append(f"{where}: {ident}: text found {found} times in {file}, not once: {text}")
for fault in faults:
    print(f"mutate: {fault}", file=sys.stderr)
if faults:
    sys.exit(1)
print(f"mutate: {count} mutants, each found exactly once in its file", file=sys.stderr)
PY

# Mutants: id area file text replacement regex description, split on " | ".
ids=() areas=() files=() froms=() tos=() regexes=() descriptions=()
all_ids=" "
while IFS= read -r line || [ -n "$line" ]; do
  [[ -z "${line// /}" || "$line" == \#* ]] && continue
  fields=()
  rest="$line"
  while [[ "$rest" == *" | "* ]]; do
    fields+=("${rest%% | *}")
    rest="${rest#* | }"
  done
  fields+=("$rest")
  all_ids+="${fields[0]} "
  if [ ${#wanted[@]} -gt 0 ] && [[ " ${wanted[*]} " != *" ${fields[0]} "* ]]; then
    continue
  fi
  ids+=("${fields[0]}") areas+=("${fields[1]}") files+=("${fields[2]}") froms+=("${fields[3]}")
  tos+=("${fields[4]}") regexes+=("${fields[5]}") descriptions+=("${fields[6]}")
done <"$list"
for w in "${wanted[@]}"; do
  [[ "$all_ids" == *" $w "* ]] || { echo "mutate: no mutant $w in $list" >&2; exit 2; }
done
[ "$mode" = check ] && exit 0
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
trap 'restore; rm -f "$backup" "${ctest_out:-}"' EXIT
trap 'echo "mutate: interrupted; the mutated file is restored" >&2; exit 130' INT TERM

gui=OFF
[ "$mode" = whole ] && gui=ON
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
ctest_out="$(mktemp)"
if [ "$mode" = whole ]; then
  echo "mutate: the whole unit suite on the unmutated tree" >&2
  t0=$SECONDS
  if ! ctest --test-dir "$build" -E "$whole_exclude" -j2 --timeout 120 >"$ctest_out" 2>&1; then
    sed -n '/tests FAILED:/,$p' "$ctest_out" >&2
    echo "mutate: the unit suite fails on the unmutated tree" >&2
    exit 2
  fi
  echo "mutate: $(sed -n 's/.*tests passed, [0-9]* tests failed out of \([0-9]*\)/\1/p' "$ctest_out") tests pass in $((SECONDS - t0)) s" >&2
fi
for regex in "${regexes[@]}"; do
  [ "$mode" = whole ] && break
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

# Runs the tests that judge mutant $1 (its index); fails when one of them fails, and says which
# in $failed.
failed=""
run_tests() {
  failed=""
  if [ "$mode" = whole ]; then
    ctest --test-dir "$build" -E "$whole_exclude" -j2 --timeout 120 --stop-on-failure >"$ctest_out" 2>&1 && return 0
    failed=$(sed -n '/tests FAILED:/,$s/^[[:space:]]*[0-9]* - \([^ ]*\).*/\1/p' "$ctest_out" | head -n 3 | tr '\n' ' ')
    return 1
  fi
  ctest --test-dir "$build" -R "${regexes[$1]}" -j2 --timeout 120 >/dev/null 2>&1
}

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
    if [ "$mode" != whole ] && [ "${baseline[$regex]}" != pass ]; then
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
      elif run_tests "$i"; then
        result=survived
      else
        result=killed
      fi
      restore
    fi
  fi
  results+=("$result")
  printf '%-6s %-9s %-8s %4ss  %s%s\n' "$id" "${areas[$i]}" "$result" $((SECONDS - t0)) "${descriptions[$i]}" \
    "${failed:+  (failed: ${failed% })}" >&2
  failed=""
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
# The usual areas first, then any other the list names.
area_order=(codecs imaging settings document cli forms base)
for a in "${areas[@]}"; do
  [[ " ${area_order[*]} " == *" $a "* ]] || area_order+=("$a")
done
for a in "${area_order[@]}" all; do summary "$a"; done
survivors=0
for i in "${!ids[@]}"; do
  [ "${results[$i]}" = survived ] || continue
  [ $survivors -eq 0 ] && printf '\nSurvivors (%s):\n' "$([ "$mode" = whole ] && echo "whole unit suite" || echo "named tests")"
  survivors=$((survivors + 1))
  printf -- '- %s: %s\n' "${ids[$i]}" "${descriptions[$i]}"
done
echo "mutate: $((SECONDS - start)) s" >&2
for r in "${results[@]}"; do [ "$r" = survived ] && exit 1; done
exit 0
