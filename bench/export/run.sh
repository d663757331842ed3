#!/usr/bin/env bash
# The export against its peers, side by side in one run on the same photos
# and the same 33-sized effect (the sample "Chaud"), every command timed as
# a whole process by farm-bench, paired with its yardstick (A B A B ...):
#   1. teintelle-cli export, one photo, against djpeg -dct int | cjpeg
#      -quality 95 -dct int (the codec's floor: decode and encode, no
#      effect), ffmpeg -vf lut3d and ImageMagick -hald-clut;
#   2. a batch of 100 photos of 12 MP, --jobs 2 against --jobs 1;
#   3. the peak memory of one baseline 24 MP export (/usr/bin/time -v).
# Outputs go to /dev/shm, so that the disk's speed is not measured (the
# export's fsync before its rename costs about a second per 7 MB on this
# machine's disk); the photos are made under $TMPDIR.
# Usage: bench/export/run.sh BUILD_DIR [RUNS]
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR [RUNS]}
runs=${2:-5}
cli=$build/bin/teintelle-cli
work=${TEINTELLE_BENCH_EXPORT:-${TMPDIR:-/tmp}/teintelle-bench-export}
out=/dev/shm/teintelle-bench-export
mkdir -p "$work" "$out"
effect="$work/Chaud.cube"
[ -f "$effect" ] || "$build/tools/samples/teintelle-samples" "$work/samples" >/dev/null
[ -f "$effect" ] || cp "$work/samples/33/Chaud.cube" "$effect"

# A 24 MP baseline photo (6000 x 4000, 4:2:0, quality 92): mate-backgrounds'
# TwoWings enlarged, with grain so that it compresses like a photograph.
photo24=$work/photo24.jpg
[ -f "$photo24" ] || convert /usr/share/backgrounds/mate/nature/TwoWings.jpg -resize '6000x4000!' \
    -attenuate 0.4 +noise Gaussian -quality 92 -sampling-factor 2x2 -interlace none "$photo24"
# The 17.9 MP progressive photograph of mate-backgrounds (5640 x 3172).
elephants=/usr/share/backgrounds/mate/abstract/Elephants_5640x3172.jpg
# 12 MP (4000 x 3000) for the batch, a hundred copies.
photo12=$work/photo12.jpg
[ -f "$photo12" ] || convert "$photo24" -resize '4000x3000!' -quality 92 -sampling-factor 2x2 "$photo12"
mkdir -p "$work/batch" "$out/batch"
for i in $(seq -w 1 100); do [ -f "$work/batch/p$i.jpg" ] || cp "$photo12" "$work/batch/p$i.jpg"; done

# The Hald image of the same effect, for ImageMagick: its identity made by
# ImageMagick (hald:8, 512 x 512, 64 levels a channel), graded by the export.
hald=$work/hald-Chaud.png
if [ ! -f "$hald" ]; then
    convert hald:8 "$work/hald.png"
    "$cli" export "$effect" "$work/hald.png" -o "$hald" --force
fi

pair() { # NAME A B
    echo "== $1"
    eval "farm-bench -n $runs --timeout 900 --vs \"\$3\" -- $2" 2>&1 | grep -E '^farm|wall|cpu s|peak|A/B'
}

for photo in "$photo24" "$elephants"; do
    name=$(basename "$photo" .jpg)
    teintelle="$cli export $effect $photo -o $out/$name-teintelle.jpg --force"
    pair "$name: teintelle-cli export (A) vs djpeg | cjpeg (B)" "$teintelle" \
        "sh -c 'djpeg -dct int $photo | cjpeg -quality 95 -dct int > $out/$name-djpeg.jpg'"
    pair "$name: teintelle-cli export (A) vs ffmpeg lut3d (B)" "$teintelle" \
        "ffmpeg -loglevel error -y -i $photo -vf lut3d=file=$effect -q:v 2 $out/$name-ffmpeg.jpg"
    pair "$name: teintelle-cli export (A) vs ImageMagick -hald-clut (B)" "$teintelle" \
        "convert $photo $hald -hald-clut -quality 95 $out/$name-magick.jpg"
done

# Through sh, which expands the hundred names.
pair "100 photos of 12 MP: --jobs 2 (A) vs --jobs 1 (B)" \
    "sh -c 'exec $cli export $effect $work/batch/*.jpg -o $out/batch --force --jobs 2'" \
    "sh -c 'exec $cli export $effect $work/batch/*.jpg -o $out/batch --force --jobs 1'"

echo "== peak memory, one baseline 24 MP export"
/usr/bin/time -v "$cli" export "$effect" "$photo24" -o "$out/peak.jpg" --force 2>&1 |
    grep -E 'Maximum resident|Elapsed'
echo "== peak memory, the progressive 17.9 MP export"
/usr/bin/time -v "$cli" export "$effect" "$elephants" -o "$out/peak.jpg" --force 2>&1 |
    grep -E 'Maximum resident|Elapsed'
