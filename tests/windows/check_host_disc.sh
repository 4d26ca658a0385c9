#!/usr/bin/env bash
# What the Windows C host wrote through DORVIK.DLL under Wine, read back on
# Linux by readers of our own choosing: the volume label it gave, its file
# whole, and nothing of the file it held locked while the write was
# prepared (the library told it so by window message).
#
# usage: check_host_disc.sh WORK_FOLDER
set -euo pipefail
work=$1 disc=$1/disc.img
for tool in isoinfo xorriso 7zz; do
  if ! command -v $tool >/dev/null; then
    [ "${DORVIK_REQUIRE_TOOLS:-0}" = 1 ] && { echo "$tool missing (DORVIK_REQUIRE_TOOLS=1)"; exit 1; }
    echo "$tool missing: skipped"; exit 77
  fi
done
failed=0
label=$(isoinfo -d -i "$disc" 2>/dev/null | sed -n 's/^Volume id: //p')
[ "$label" = "HOST DISC" ] || { echo "volume id '$label', not 'HOST DISC'"; failed=1; }

listing=$(xorriso -indev "$disc" -find / 2>/dev/null | tr -d "'" | sort)
echo "on the disc: $(echo $listing)"
expected=$(printf '%s\n' / /collection /collection/song.mp3 | sort)
[ "$listing" = "$expected" ] || { echo "want: $(echo $expected)"; failed=1; }
if ! 7zz e -so "$disc" collection/song.mp3 2>/dev/null | cmp - "$work/collection/song.mp3"; then
  echo "song.mp3 differs from its source"; failed=1
fi
exit $failed
