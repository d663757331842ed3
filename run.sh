#!/usr/bin/env bash
# Installs what is missing, builds Teintelle and starts it. On a machine
# without a display, renders the sample effects on the sample photo instead.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Pas d'écran (ni DISPLAY ni WAYLAND_DISPLAY) : au lieu de la fenêtre, la planche des effets d'exemple."
  samples=build/default/bin/Effets
  sheet="$PWD/build/default/Planche des effets.png"
  ./build/default/bin/teintelle-cli sheet "$samples/33" "$samples/Mire.jpg" -o "$sheet" >/dev/null
  echo "Planche : $sheet"
  exit 0
fi
exec ./build/default/bin/Teintelle "$@"
