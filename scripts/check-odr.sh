#!/usr/bin/env bash
# Fails when the programs break the One Definition Rule: two different classes, enums or
# functions of one name in one program, which only link-time optimisation lets GCC compare.
#   scripts/check-odr.sh [BUILD_DIR]     (default build-odr)
# Builds trimlet, trimlet-cli and the HEIF and AVIF module in Release with LTO and -Wodr made
# an error at compile and link; any -Wodr or -Wlto-type-mismatch line in the output fails too,
# as a linker plugin may report without stopping. TRIMLET_WERROR stays off: warnings that only
# LTO's inlining raises are not this check's concern.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2
build="${1:-build-odr}"
odr="-Wodr -Werror=odr -Wlto-type-mismatch"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INTERPROCEDURAL_OPTIMIZATION=ON \
  -DTRIMLET_GUI=ON -DTRIMLET_TESTS=OFF -DTRIMLET_BENCH=OFF -DTRIMLET_FUZZ=OFF -DTRIMLET_SANITIZE=OFF \
  -DTRIMLET_WERROR=OFF "-DCMAKE_CXX_FLAGS=$odr" "-DCMAKE_EXE_LINKER_FLAGS=$odr" \
  "-DCMAKE_SHARED_LINKER_FLAGS=$odr" "-DCMAKE_MODULE_LINKER_FLAGS=$odr" "${launcher[@]}" >/dev/null ||
  { echo "check-odr: configuring $build failed" >&2; exit 2; }

log="$build/odr.log"
start=$SECONDS
cmake --build "$build" -j2 --target trimlet trimlet-cli heif_avif >"$log" 2>&1
status=$?
if grep -E '\[-W(error=)?(odr|lto-type-mismatch)\]' "$log" >/dev/null; then
  echo "check-odr: One Definition Rule violations:" >&2
  grep -E -A3 '\[-W(error=)?(odr|lto-type-mismatch)\]' "$log" >&2
  exit 1
fi
if [ $status -ne 0 ]; then
  tail -n 40 "$log" >&2
  echo "check-odr: the LTO build failed (log: $log)" >&2
  exit 1
fi
echo "check-odr: no One Definition Rule violation in trimlet, trimlet-cli and heif-avif ($((SECONDS - start)) s)"
