#!/usr/bin/env bash
# Runs the LUT engine's benchmarks and, in the same session, Debian's ffmpeg
# lut3d filter on the same .cube files and the same picture.
#
#   bench/lut/run_peers.sh [path/to/bench_lut]
#
# Needs (for benchmarking only): ffmpeg, mate-backgrounds.
# Times are medians of RUNS runs; ffmpeg's are given both as wall time and as
# CPU time (user + system) of its single-threaded run, which a busy machine
# disturbs less.
set -euo pipefail
cd "$(dirname "$0")/../.."
BENCH=${1:-build/default/bench/lut/bench_lut}
RUNS=${RUNS:-5}
export TEINTELLE_BENCH_DIR=${TEINTELLE_BENCH_DIR:-/tmp/teintelle-bench-lut}
DIR=$TEINTELLE_BENCH_DIR
FFMPEG=(ffmpeg -hide_banner -nostdin -v error -threads 1 -filter_threads 1)

echo "# $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "# $(ffmpeg -version | head -1)"

echo "## Teintelle (median of $RUNS)"
"$BENCH" --benchmark_repetitions="$RUNS" --benchmark_report_aggregates_only=true 2>/dev/null | grep -E '_median|^Benchmark'

# Median wall and CPU (user + system, children included) seconds of a
# command, as "wall cpu".
measure() {
  local walls=() cpus=() timing
  for _ in $(seq "$RUNS"); do
    timing=$( { TIMEFORMAT='%R %U %S'; time "$@" >/dev/null 2>&1; } 2>&1 )
    read -r real user sys <<<"$timing"
    walls+=("$real")
    cpus+=("$(echo "$user + $sys" | bc -l)")
  done
  local middle=$(( (RUNS + 1) / 2 ))
  echo "$(printf '%s\n' "${walls[@]}" | sort -g | sed -n "${middle}p") $(printf '%s\n' "${cpus[@]}" | sort -g | sed -n "${middle}p")"
}

run_ffmpeg() { "${FFMPEG[@]}" "$@" -f null -; }

echo "## ffmpeg lut3d loading a .cube (several instances on one 2 x 2 frame (the colour source refuses 1 x 1) minus none, per instance)"
declare -A LOAD_CPU LOAD_WALL
for n in 17 33 65 129; do
  file="$DIR/grade-$n.cube"
  count=$(( n == 129 ? 3 : 10 ))
  chain=$(printf "lut3d=file=$file,%.0s" $(seq "$count")); chain=${chain%,}
  read -r w1 c1 < <(measure run_ffmpeg -f lavfi -i color=c=gray:size=2x2:duration=0.04:rate=25 -vf "$chain")
  read -r w0 c0 < <(measure run_ffmpeg -f lavfi -i color=c=gray:size=2x2:duration=0.04:rate=25 -vf null)
  size=$(stat -c %s "$file")
  wall_ms=$(echo "($w1 - $w0) * 1000 / $count" | bc -l)
  cpu_ms=$(echo "($c1 - $c0) * 1000 / $count" | bc -l)
  LOAD_CPU[$n]=$cpu_ms
  LOAD_WALL[$n]=$wall_ms
  printf "ffmpeg load %3d^3 (%.2f MB): wall %.1f ms (%.0f MB/s), cpu %.1f ms (%.0f MB/s)\n" "$n" \
    "$(echo "$size/1000000" | bc -l)" "$wall_ms" "$(echo "$size / 1000 / $wall_ms" | bc -l)" \
    "$cpu_ms" "$(echo "$size / 1000 / $cpu_ms" | bc -l)"
done

echo "## ffmpeg lut3d applying to the 1500 x 1000 photo, one thread (frames minus a run without the filter and one load)"
frames=40
photo="$DIR/photo-1500x1000.bgra"
input=(-f rawvideo -pix_fmt bgra -s 1500x1000 -stream_loop $((frames - 1)) -i "$photo")
read -r w0 c0 < <(measure run_ffmpeg "${input[@]}" -vf null)
for n in 17 33 65; do
  file="$DIR/grade-$n.cube"
  for interp in trilinear tetrahedral; do
    read -r w1 c1 < <(measure run_ffmpeg "${input[@]}" -vf "lut3d=file=$file:interp=$interp")
    printf "ffmpeg %-11s %2d^3: wall %.1f Mpixel/s, cpu %.1f Mpixel/s\n" "$interp" "$n" \
      "$(echo "$frames * 1.5 / ($w1 - $w0 - ${LOAD_WALL[$n]} / 1000)" | bc -l)" \
      "$(echo "$frames * 1.5 / ($c1 - $c0 - ${LOAD_CPU[$n]} / 1000)" | bc -l)"
  done
done
