#!/usr/bin/env bash
# The photo loading benchmark and its peers on the same files in the same
# run: tjbench -scale 1/4 -fastdct -bgrx (in-memory decode into 4-byte pixels,
# as the surface holds them) and djpeg -scale 1/4 -dct fast (file to
# /dev/null), from Debian's libjpeg-turbo-progs. CPU times come from
# perf stat (task-clock), so that a machine shared with other work still
# gives comparable figures; wall times are printed beside them.
# Usage: bench/imaging/run.sh BUILD_DIR [REPETITIONS]
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR [REPETITIONS]}
reps=${2:-7}
photos=${TEINTELLE_BENCH_PHOTOS:-${TMPDIR:-/tmp}/teintelle-bench-photos}
export TEINTELLE_BENCH_PHOTOS=$photos
mkdir -p "$photos"
# A real photograph: mate-backgrounds' 5640 x 3172 progressive one (17.9 MP).
real=/usr/share/backgrounds/mate/abstract/Elephants_5640x3172.jpg
[ -f "$real" ] && ln -sf "$real" "$photos/mate-elephants-5640x3172.jpg"

echo "== Teintelle (median of $reps; Time = wall, CPU = thread CPU)"
"$build/bench/imaging/bench_photo_loading" --benchmark_repetitions="$reps" \
    --benchmark_report_aggregates_only=true 2>/dev/null | grep -E '_median|^Benchmark'

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
# CPU milliseconds of one command (perf's task-clock).
cpu_ms() { perf stat -x, -e task-clock "$@" 2>&1 >/dev/null | awk -F, '/task-clock/ {print $1}'; }

echo "== Peers (median of $reps)"
for photo in "$photos"/*.jpg; do
    name=$(basename "$photo" .jpg)
    # tjbench runs its loop until the first frame that ends past -benchtime
    # and reports frames per second. Its start (reading the file, setting up)
    # costs about as much as a decode, so the CPU of one decode is the
    # difference between a 3-second run and a one-frame run, divided by the
    # difference in frames.
    tj_cpu=$(for i in $(seq "$reps"); do
        one=$(perf stat -x, -e task-clock tjbench "$photo" -scale 1/4 -fastdct -bgrx -benchtime 0.001 -warmup 0 2>&1 |
              awk -F, '/task-clock/ {print $1}')
        out=$(perf stat -x, -e task-clock tjbench "$photo" -scale 1/4 -fastdct -bgrx -benchtime 3 -warmup 0 2>&1)
        fps=$(echo "$out" | awk '/Frame rate/ {print $(NF-1)}')
        clock=$(echo "$out" | awk -F, '/task-clock/ {print $1}')
        echo "($clock - $one) / (($fps * 3) / 1)" | bc
    done | median)
    tj_wall=$(for i in $(seq "$reps"); do
        tjbench "$photo" -scale 1/4 -fastdct -bgrx -benchtime 2 -warmup 0 | awk '/Frame rate/ {print 1000 / $(NF-1)}'
    done | median)
    dj_cpu=$(for i in $(seq "$reps"); do cpu_ms djpeg -scale 1/4 -dct fast -outfile /dev/null "$photo"; done | median)
    printf '%-28s tjbench %7.1f ms CPU %7.1f ms wall   djpeg %7.1f ms CPU\n' "$name" "$tj_cpu" "$tj_wall" "$dj_cpu"
done

echo "== Peak resident memory of one photo change (KiB: process before, after)"
for photo in "$photos"/*.jpg; do
    printf '%-28s %s\n' "$(basename "$photo" .jpg)" "$("$build/bench/imaging/bench_photo_loading" --peak-memory "$photo")"
done
