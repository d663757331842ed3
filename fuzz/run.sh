#!/usr/bin/env bash
# A fuzz campaign: builds the `fuzz` preset, writes the seed corpora from the
# test fixtures, then runs each target for SECONDS on its growing corpus.
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
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_cube fuzz_cube_fix fuzz_settings fuzz_photo_file fuzz_jpeg_quarter fuzz_jpeg_full fuzz_view_geometry)

if [ "${TEINTELLE_FUZZ_BUILT:-0}" != 1 ]; then
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz
fi
build=build/fuzz
"$build/fuzz/fuzz_seeds" "$build/seeds"

status=0
for target in "${targets[@]}"; do
  corpus=$build/corpus/$target
  findings=$build/findings/$target
  mkdir -p "$corpus" "$findings" "$build/logs"
  inputs=("$corpus" "$build/seeds/$target")
  [ -d "fuzz/regressions/$target" ] && inputs+=("fuzz/regressions/$target")
  echo "== $target: ${seconds} s"
  # -timeout: an input that keeps one execution busy this long is a hang.
  # -rss_limit_mb: the surface cap (512 MiB) and the decoder's cap (1 GiB)
  # together, with the sanitizer's overhead.
  if "$build/fuzz/$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=3072 \
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
