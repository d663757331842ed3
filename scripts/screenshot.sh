#!/usr/bin/env bash
# Starts Teintelle under a virtual X display and saves a PNG of its window.
#   scripts/screenshot.sh [OUTPUT.png] [-- commands to run before the shot]
# Needs xvfb and ImageMagick's import (Debian: xvfb, imagemagick).
set -euo pipefail
cd "$(dirname "$0")/.."
output=${1:-docs/screenshot.png}
program=${TEINTELLE:-build/default/app/Teintelle}
mkdir -p "$(dirname "$output")"
xvfb-run -a -s "-screen 0 900x480x24" bash -c '
  "$1" &
  pid=$!
  sleep "${TEINTELLE_SHOT_DELAY:-3}"
  import -window root -crop 799x341+0+0 "$2"
  kill $pid
' _ "$program" "$output"
echo "$output"
