#!/bin/sh
# The layer check passes on the tree as it is, and names the include when a
# lower folder reaches up (copied tree, one include added).
set -eu
root=$1
"$root/scripts/check_layers" "$root"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/docs"
cp -r "$root/src" "$scratch/src"
cp "$root/docs/design.md" "$scratch/docs/"
echo '#include "api/library.h"' >> "$scratch/src/iso/iso_names.cpp"
if "$root/scripts/check_layers" "$scratch" 2> "$scratch/out"; then
  echo "an upward include passed the check"; exit 1
fi
grep -q 'src/iso/iso_names.cpp:.*src/iso includes "api/' "$scratch/out"
