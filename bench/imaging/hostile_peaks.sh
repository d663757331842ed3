#!/usr/bin/env bash
# Peak resident memory and time of the full-size path on tiny files that
# declare pictures as large as a surface (11585 x 11585, 512 MiB of pixels)
# or one column and row beyond it: a placeable WMF, an EMF, an RLE8 BMP whose
# data ends at once and a black deflate TIFF, each decoded by
# `teintelle-cli decode --full` under /usr/bin/time.
# Usage: bench/imaging/hostile_peaks.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: hostile_peaks.sh BUILD_DIR}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$work" <<'PY'
import struct, sys, zlib
def wmf(n):
    pl = [0xCDD7, 0x9AC6, 0, 0, 0, n, n, 96, 0, 0]
    cs = 0
    for w in pl: cs ^= w
    b = b''.join(struct.pack('<H', w) for w in pl) + struct.pack('<H', cs)
    rec = lambda f, p: struct.pack('<IH', 3 + len(p), f) + b''.join(struct.pack('<H', x) for x in p)
    r = rec(0x020B, [0, 0]) + rec(0x020C, [n, n]) + rec(0x02FC, [0, 0, 0xFF, 0]) + rec(0x012D, [0]) \
        + rec(0x041B, [40, 60, 10, 10]) + rec(0, [])
    return b + struct.pack('<HHHIHIH', 1, 9, 0x300, 9 + len(r) // 2, 1, 7, 0) + r
def emf(n):
    r = struct.pack('<IIIIII', 39, 24, 1, 0, 0xFF0000, 0) + struct.pack('<III', 37, 12, 1) \
        + struct.pack('<IIiiii', 43, 24, 10, 10, 60, 40) + struct.pack('<IIIII', 14, 20, 0, 16, 20)
    f = n * 2540 // 96
    h = struct.pack('<II', 1, 88) + struct.pack('<iiii', 0, 0, n - 1, n - 1) + struct.pack('<iiii', 0, 0, f, f) \
        + struct.pack('<IIIIHHIII', 0x464D4520, 0x10000, 88 + len(r), 5, 2, 0, 0, 0, 0) \
        + struct.pack('<IIII', 1920, 1080, 508, 286)
    return h + r
def bmp(n):
    pal = b''.join(struct.pack('<BBBB', i, i, i, 0) for i in range(256))
    off = 54 + len(pal)
    return b'BM' + struct.pack('<IHHI', off + 2, 0, 0, off) \
        + struct.pack('<IiiHHIIiiII', 40, n, n, 1, 8, 1, 2, 2835, 2835, 256, 0) + pal + b'\x00\x01'
def tiff(n):
    rows = 64
    strips = (n + rows - 1) // rows
    data = [zlib.compress(bytes(n * 3 * min(rows, n - s * rows)), 9) for s in range(strips)]
    offsets_at = 8 + 2 + 11 * 12 + 4 + 6
    at = offsets_at + 8 * strips
    offsets = []
    for d in data: offsets.append(at); at += len(d)
    e = lambda tag, typ, count, val: struct.pack('<HHII', tag, typ, count, val)
    ifd = struct.pack('<H', 11) + e(256, 4, 1, n) + e(257, 4, 1, n) + e(258, 3, 3, offsets_at - 6) \
        + e(259, 3, 1, 8) + e(262, 3, 1, 2) + e(273, 4, strips, offsets_at) + e(277, 3, 1, 3) \
        + e(278, 4, 1, rows) + e(279, 4, strips, offsets_at + 4 * strips) + e(284, 3, 1, 1) + e(339, 3, 1, 1) \
        + struct.pack('<I', 0)
    return b'II*\x00' + struct.pack('<I', 8) + ifd + struct.pack('<HHH', 8, 8, 8) \
        + b''.join(struct.pack('<I', o) for o in offsets) + b''.join(struct.pack('<I', len(d)) for d in data) \
        + b''.join(data)
for n, tag in ((11585, 'cap'), (11586, 'beyond')):
    for ext, make in (('wmf', wmf), ('emf', emf), ('bmp', bmp), ('tif', tiff)):
        open(f'{sys.argv[1]}/{tag}.{ext}', 'wb').write(make(n))
PY
printf '%-12s %10s %12s %8s  %s\n' file bytes 'peak KiB' seconds outcome
for f in "$work"/cap.* "$work"/beyond.*; do
    /usr/bin/time -f '%M %e' -o "$work/time" "$build/bin/teintelle-cli" decode --full "$f" -o "$work/out.ppm" \
        2>"$work/err" && outcome=$(head -c 32 "$work/out.ppm" | head -2 | tail -1) || outcome=$(grep -v XDG "$work/err")
    rm -f "$work/out.ppm"
    read -r peak seconds < <(tail -1 "$work/time")
    printf '%-12s %10s %12s %8s  %s\n' "$(basename "$f")" "$(stat -c %s "$f")" "$peak" "$seconds" "$outcome"
done
