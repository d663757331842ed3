#!/usr/bin/env bash
# Starts Teintelle under a virtual X display and saves a PNG of its window.
#
#   scripts/screenshot.sh [OUTPUT.png]
#
# With TEINTELLE_SHOT_FOLDER and TEINTELLE_SHOT_PHOTO set, it types them into
# the two fields as a user would, opens the tree and selects its first effect
# (TEINTELLE_SHOT_KEYS overrides the keys pressed in the tree) before the shot;
# TEINTELLE_SHOT_MENU="X Y" then right-clicks at that point of the screen.
# Needs Debian's xvfb, imagemagick and xdotool.
set -euo pipefail
cd "$(dirname "$0")/.."
output=${1:-docs/screenshot.png}
program=${TEINTELLE:-build/default/bin/Teintelle}
mkdir -p "$(dirname "$output")"

xvfb-run -a -s "-screen 0 900x480x24" bash -c '
  set -e
  "$1" &
  pid=$!
  sleep "${TEINTELLE_SHOT_DELAY:-3}"
  if [ -n "${TEINTELLE_SHOT_FOLDER:-}" ]; then
    window=$(xdotool search --name "La Teintelle" | head -1)
    xdotool windowfocus --sync "$window"
    xdotool key Tab ctrl+a
    xdotool type --delay 5 "$TEINTELLE_SHOT_FOLDER"
    sleep 1
    xdotool key Escape Tab Tab # Escape closes the path suggestions
    xdotool type --delay 5 "${TEINTELLE_SHOT_PHOTO:-}"
    sleep 1
    xdotool key Escape shift+Tab ${TEINTELLE_SHOT_KEYS:-Right Down}
    sleep 1
  fi
  if [ -n "${TEINTELLE_SHOT_MENU:-}" ]; then # "X Y": a right click there (a context menu)
    xdotool mousemove $TEINTELLE_SHOT_MENU click 3
    sleep 1
  fi
  import -window root -crop 799x341+0+0 "$2"
  kill "$pid"
' _ "$program" "$output"
echo "$output"
