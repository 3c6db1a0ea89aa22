#!/usr/bin/env bash
# Line budgets that keep the windows and the command line from growing back into god files:
#   the main window TfrmMain (forms/main/frm_main.h and every forms/main/frm_main*.cpp)
#   under 1,300 lines in all, no .cpp under forms/ over 600, every file under cli/ under 700.
#   scripts/budgets.sh [SOURCE_DIR]            fails, naming each file over its budget
#   scripts/budgets.sh --report [SOURCE_DIR]   prints the counts: the main window's files, the
#                                              largest file of each top-level folder, and the
#                                              code and test totals
# Lines as wc -l counts them. CTest runs the first form as size_budgets.
set -euo pipefail
report=0
if [ "${1:-}" = --report ]; then
  report=1
  shift
fi
cd "${1:-$(dirname "$0")/..}"

lines() { wc -l <"$1" | tr -d ' '; }

main_files=(forms/main/frm_main.h forms/main/frm_main*.cpp)
main_total=0
for f in "${main_files[@]}"; do
  [ -f "$f" ] || { echo "budgets: $f not found" >&2; exit 2; }
  main_total=$((main_total + $(lines "$f")))
done

if [ $report -eq 1 ]; then
  echo "TfrmMain:"
  for f in "${main_files[@]}"; do printf '  %5d  %s\n' "$(lines "$f")" "$f"; done
  printf '  %5d  total (budget: under 1300)\n' "$main_total"
  echo "largest file of each folder (sources and scripts: *.cpp *.h *.c *.sh *.cmake CMakeLists.txt):"
  for d in */; do
    d=${d%/}
    [[ "$d" == build* ]] && continue  # build folders
    find "$d" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.c' -o -name '*.sh' -o -name '*.cmake' \
      -o -name CMakeLists.txt \) -exec wc -l {} + | awk '$2 != "total"' | sort -n | tail -n 1 |
      awk '{ printf "  %5d  %s\n", $1, $2 }'
  done
  code=$(find base codecs imaging document settings cli platform forms app -type f \
    \( -name '*.cpp' -o -name '*.h' \) -exec cat {} + | wc -l)
  tests=$(find tests -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.sh' \) -exec cat {} + | wc -l)
  echo "code  (*.cpp *.h under base codecs imaging document settings cli platform forms app): $code"
  echo "tests (*.cpp *.h *.sh under tests): $tests"
  exit 0
fi

faults=()
if [ "$main_total" -ge 1300 ]; then
  faults+=("TfrmMain: $main_total lines in ${#main_files[@]} files, budget under 1300")
fi
while IFS= read -r f; do
  n=$(lines "$f")
  [ "$n" -gt 600 ] && faults+=("$f: $n lines, budget 600 for a .cpp under forms/")
done < <(find forms -type f -name '*.cpp' | sort)
while IFS= read -r f; do
  n=$(lines "$f")
  [ "$n" -ge 700 ] && faults+=("$f: $n lines, budget under 700 for a file under cli/")
done < <(find cli -type f | sort)

if [ ${#faults[@]} -gt 0 ]; then
  echo "budgets: over budget:" >&2
  printf '  %s\n' "${faults[@]}" >&2
  exit 1
fi
echo "budgets: TfrmMain $main_total lines; forms/ and cli/ within their budgets"
