#!/usr/bin/env bash
# Seeds for fuzz_session_import: real sessions, each cut down to its
# descriptors, path tables and directories (the walk never reads file data),
# written as the target reads them: an options byte, then the disc from
# sector 16. Sessions come from the library itself (dorvik image, in the
# classic and the interchange layout: 8.3 names with versions, folders past
# the eighth level moved under DEEPER, files in order of their folders),
# from genisoimage (primary only, and with Joliet) and from xorriso (Joliet
# and Rock Ridge, whose records carry system-use bytes).
#
# usage: fuzz/make_session_seeds.sh DORVIK_CLI OUT_DIR
set -euo pipefail
cli=$1
out=$2
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

src=$work/src
mkdir -p "$src/sub/deeper" "$src/empty" "$src/many"
printf 'alpha' >"$src/a.txt"
printf 'report' >"$src/Annual Report 2006.doc"
printf 'gruss' >"$src/Grüß.txt"
: >"$src/empty.dat"
printf 'x' >"$src/sub/deeper/x.bin"
printf 'y' >"$src/sub/Makefile"
for i in $(seq 100 111); do printf '%s' "$i" >"$src/many/file number $i.txt"; done

"$cli" image "$work/dorvik.iso" "$src"/* --label SEED >/dev/null
genisoimage -quiet -o "$work/primary.iso" "$src"
genisoimage -quiet -J -o "$work/joliet.iso" "$src"
xorriso -as mkisofs -quiet -J -R -o "$work/rockridge.iso" "$src" 2>/dev/null
# Deeper than the primary tree of either layout may go.
mkdir -p "$src/l1/l2/l3/l4/l5/l6/l7/l8/l9"
printf 'deep' >"$src/l1/l2/l3/l4/l5/l6/l7/l8/l9/deep.txt"
"$cli" image "$work/deep.iso" "$src"/* --label SEED >/dev/null
"$cli" image "$work/interchange.iso" "$src"/* --label SEED --layout interchange >/dev/null

cut_session() {  # IMAGE OPTIONS OUT
  python3 - "$1" "$2" "$3" <<'EOF'
import struct, sys
image, options, out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
data = open(image, 'rb').read()
sector = lambda n: data[n * 2048:(n + 1) * 2048]
last = 19
for n in range(16, 26):
    d = sector(n)
    if d[1:6] != b'CD001':
        continue
    if d[0] == 255:
        last = max(last, n + 1)
        break
    if d[0] not in (1, 2):
        continue
    last = max(last, n + 1)
    table = struct.unpack('<I', d[140:144])[0], struct.unpack('>I', d[148:152])[0]
    size = struct.unpack('<I', d[132:136])[0]
    for t in table:
        last = max(last, t + (size + 2047) // 2048)
    todo = [(struct.unpack('<I', d[158:162])[0], struct.unpack('<I', d[166:170])[0])]
    seen = set()
    while todo:
        extent, length = todo.pop()
        if extent in seen:
            continue
        seen.add(extent)
        count = (length + 2047) // 2048
        last = max(last, extent + count)
        body = data[extent * 2048:(extent + count) * 2048]
        at = 0
        while at < len(body):
            n = body[at]
            if n == 0:
                at = (at // 2048 + 1) * 2048
                continue
            r = body[at:at + n]
            if r[25] & 2 and not (r[32] == 1 and r[33] in (0, 1)):
                todo.append((struct.unpack('<I', r[2:6])[0], struct.unpack('<I', r[10:14])[0]))
            at += n
open(out, 'wb').write(bytes([options]) + data[16 * 2048:last * 2048])
EOF
}

cut_session "$work/dorvik.iso" 0 "$out/dorvik"
cut_session "$work/deep.iso" 0 "$out/dorvik-deep-tree"
cut_session "$work/interchange.iso" 2 "$out/dorvik-interchange-mode2"
cut_session "$work/primary.iso" 1 "$out/genisoimage-primary-user-data"
cut_session "$work/joliet.iso" 2 "$out/genisoimage-joliet-mode2"
cut_session "$work/rockridge.iso" 4 "$out/xorriso-rockridge-end-unknown"
ls -l "$out"
