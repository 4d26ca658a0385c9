#!/usr/bin/env bash
# DORVIK.DLL's tables, read statically (so the 32-bit DLL is checked on a
# machine that cannot run it): the exports are exactly the 25 names of the
# .def file, undecorated, and the same as the functions the public header
# declares to a Windows host; every import is a system DLL, the C and C++
# runtimes having been linked in.
#
# usage: check_dll.sh OBJDUMP DLL DEF_FILE C_COMPILER HEADER
set -euo pipefail
objdump=$1 dll=$2 def=$3 cc=$4 header=$5
table=$("$objdump" -p "$dll")
failed=0

expected=$(awk '/^EXPORTS/ {on=1; next} on && NF {print $1}' "$def" | sort)
if [ "$(echo "$expected" | grep -c .)" != 25 ]; then
  echo "$def names $(echo "$expected" | grep -c .) exports, not 25"; failed=1
fi
# What a Windows host compiling against the header can call.
declared=$("$cc" -E -P -x c "$header" | grep -o '\bVuz_[A-Za-z]*\s*(' | tr -d ' (' | sort -u)
if [ "$declared" != "$expected" ]; then
  echo "the header declares to Windows hosts other functions than $def:"
  diff <(echo "$expected") <(echo "$declared") || true; failed=1
fi
exported=$(printf '%s\n' "$table" | awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next}
  on && /^\t\[ *[0-9]+\] / {print $NF; next} on {on=0}' | sort)
if [ "$exported" != "$expected" ]; then
  echo "exports differ from $def:"; diff <(echo "$expected") <(echo "$exported") || true; failed=1
fi

imports=$(printf '%s\n' "$table" | awk '/DLL Name:/ {print $3}' | sort -u)
for name in $imports; do
  case "${name,,}" in
    kernel32.dll|user32.dll|advapi32.dll|msvcrt.dll) ;;
    *) echo "imports a DLL that is not the system's: $name"; failed=1 ;;
  esac
done

format=$(printf '%s\n' "$table" | awk '/file format/ && !seen {print $NF; seen=1}')
echo "$dll: $format, $(echo "$exported" | grep -c .) exports, imports: $(echo $imports)"
exit $failed
