#!/usr/bin/env bash
# The shared library exports the C interface and nothing else.
set -euo pipefail
lib=$1
symbols=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TDBRVW]$/ {print $3}' | sort)
count=$(printf '%s\n' "$symbols" | grep -c '^Vuz_' || true)
others=$(printf '%s\n' "$symbols" | grep -v '^Vuz_' | grep -v '^$' || true)
echo "exported Vuz_ functions: $count"
if [ -n "$others" ]; then
  echo "unexpected exports:"; printf '%s\n' "$others"; exit 1
fi
[ "$count" -ge 9 ] || { echo "too few exports"; exit 1; }
