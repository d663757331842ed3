#!/usr/bin/env bash
# cmake --install into a temporary prefix: the layout, the links, the desktop
# entry and the metainfo as the desktop's tools read them, and teintelle-cli
# run through its link on the installed samples, after the prefix has moved.
#
#   install_test.sh BUILD_FOLDER
set -euo pipefail
build=$1
temporary=$(mktemp -d)
trap 'rm -rf "$temporary"' EXIT
prefix=$temporary/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

id=org.teintelle.Teintelle
program_folder=$prefix/lib/teintelle
for file in lib/teintelle/Teintelle lib/teintelle/teintelle-cli lib/teintelle/Effets/Mire.jpg \
            share/applications/$id.desktop share/metainfo/$id.metainfo.xml share/man/man1/teintelle-cli.1.gz share/man/man1/teintelle.1.gz; do
  [ -f "$prefix/$file" ] || fail "$file is not installed"
done
for size in 17 33 65; do
  count=$(find "$program_folder/Effets/$size" -name '*.cube' | wc -l)
  [ "$count" -eq 8 ] || fail "Effets/$size holds $count effects, not 8"
done
for size in 16 24 32 48 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x$size/apps/$id.png
  file "$icon" | grep -q "PNG image data, $size x $size," || fail "no $size x $size PNG icon: $(file "$icon")"
done
for link in teintelle:Teintelle teintelle-cli:teintelle-cli; do
  name=${link%%:*}
  target=$(readlink "$prefix/bin/$name") || fail "bin/$name is not a link"
  [ "$target" = "../lib/teintelle/${link#*:}" ] || fail "bin/$name links to $target"
done
grep -qx "Exec=teintelle" "$prefix/share/applications/$id.desktop" || fail "the desktop entry does not start bin/teintelle"
grep -qx "Icon=$id" "$prefix/share/applications/$id.desktop" || fail "the desktop entry names another icon"
desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >/dev/null \
  || fail "appstreamcli validate: $(appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml")"
for page in teintelle teintelle-cli; do
  zcat "$prefix/share/man/man1/$page.1.gz" | grep -qi "^\.TH $page 1 " || fail "the manual page of $page has no title"
done

# The links are relative: the prefix may move.
mv "$prefix" "$temporary/moved"
prefix=$temporary/moved
effets=$prefix/lib/teintelle/Effets
cd "$temporary"
"$prefix/bin/teintelle-cli" check "$effets/33/Froid.cube" >/dev/null || fail "teintelle-cli check on an installed sample"
"$prefix/bin/teintelle-cli" sheet "$effets/17" "$effets/Mire.jpg" -o sheet.png --size 32 > cells.txt \
  || fail "teintelle-cli sheet on the installed samples"
[ "$(wc -l < cells.txt)" -eq 9 ] || fail "the sheet has $(wc -l < cells.txt) cells, not 9"
file sheet.png | grep -q "PNG image data" || fail "the sheet is not a PNG"
echo "installed layout, links, desktop entry, metainfo, manual page and teintelle-cli: good"
