#!/usr/bin/env bash
# A fuzz campaign: builds the `fuzz` preset (the engine's targets) and, when
# a Qt target is asked for, the `fuzz-qt` preset (the Qt-backed decoders'),
# writes the seed corpora from the test fixtures, then runs each target for
# SECONDS on its growing corpus, under the limits its build wrote beside it
# (fuzz/CMakeLists.txt, <target>.flags).
#
#   fuzz/run.sh SECONDS [TARGET...]      (all targets when none is named)
#
# Corpora grow in build/fuzz/corpus/<target>/, logs go to build/fuzz/logs/,
# and an input that fails is written to build/fuzz/findings/<target>/: keep it
# in fuzz/regressions/<target>/ once fixed. Exits non-zero on any finding.
# TEINTELLE_FUZZ_BUILT=1 skips the build (campaigns run side by side must not
# build in the same folder at once).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:?usage: fuzz/run.sh SECONDS [TARGET...]}
shift
engine_targets=(fuzz_cube fuzz_cube_check fuzz_cube_fix fuzz_settings fuzz_photo_file fuzz_jpeg_quarter fuzz_jpeg_full
                fuzz_view_geometry)
qt_targets=(fuzz_platform_photo fuzz_metafile)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${engine_targets[@]}" "${qt_targets[@]}")

# The preset that builds a target.
preset_of() {
  local qt
  for qt in "${qt_targets[@]}"; do
    [ "$1" != "$qt" ] || { echo fuzz-qt; return; }
  done
  echo fuzz
}

presets=()
for target in "${targets[@]}"; do
  preset=$(preset_of "$target")
  [[ " ${presets[*]} " == *" $preset "* ]] || presets+=("$preset")
done
for preset in "${presets[@]}"; do
  if [ "${TEINTELLE_FUZZ_BUILT:-0}" != 1 ]; then
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
  fi
  "build/$preset/fuzz/fuzz_seeds" "build/$preset/seeds"
done

build=build/fuzz
status=0
for target in "${targets[@]}"; do
  preset=$(preset_of "$target")
  program=build/$preset/fuzz/$target
  corpus=$build/corpus/$target
  findings=$build/findings/$target
  mkdir -p "$corpus" "$findings" "$build/logs"
  inputs=("$corpus" "build/$preset/seeds/$target")
  [ -d "fuzz/regressions/$target" ] && inputs+=("fuzz/regressions/$target")
  read -r -a flags < "$program.flags"
  echo "== $target: ${seconds} s (${flags[*]})"
  if "$program" -max_total_time="$seconds" "${flags[@]}" \
       -print_final_stats=1 -artifact_prefix="$findings/" "${inputs[@]}" \
       > "$build/logs/$target.log" 2>&1; then
    grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb|cov: " "$build/logs/$target.log" | tail -3
  else
    echo "   FINDING: see $build/logs/$target.log and $findings/"
    tail -40 "$build/logs/$target.log"
    status=1
  fi
done
exit $status
