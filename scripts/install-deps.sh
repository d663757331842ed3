#!/usr/bin/env bash
# Installs, through apt-get, the Debian 12 packages Teintelle needs to build,
# test and run. Installs only what is missing; uses sudo when not root.
#
# Some are needed without being named by a header we include: libwmf's link
# flags name expat (libexpat1-dev), and libwmf draws text only with the URW
# fonts (fonts-urw-base35): without them a metafile with text fails to load.
# The program loads Qt's French texts (qt6-translations-l10n); the install test
# validates the desktop entry and the metainfo (desktop-file-utils, appstream);
# cpack's dependency search reads the programs' type with file.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev qt6-image-formats-plugins libgl-dev
  libjpeg62-turbo-dev libwmf-dev libemf2svg-dev
  libpng-dev libtiff-dev libexiv2-dev
  libexpat1-dev fonts-urw-base35 qt6-translations-l10n
  desktop-file-utils appstream file
  locales
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev
  xvfb xauth fonts-dejavu-core
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
