#!/bin/sh
# Builds dorvik.1 with help2man from the program's own --help, --version and
# each command's --help, so the manual is never written twice.
# usage: man_page.sh DORVIK_PROGRAM OUTPUT
set -eu
program=$1
output=$2
include=$output.include
{
  printf '[COMMANDS]\n'
  for command in $("$program" --help | sed -n 's/^  \([a-z-][a-z-]*\)  .*/\1/p'); do
    printf '.SS %s\n.nf\n' "$command"
    "$program" "$command" --help | sed -e 's/\\/\\\\/g' -e 's/^\./\\\&./'
    printf '.fi\n'
  done
  printf '[ENVIRONMENT]\n'
  printf 'The settings are listed in the README: DORVIK_VIRTUAL_DRIVES, DORVIK_VIRTUAL_OPTIONS,\n'
  printf 'DORVIK_VIRTUAL_FAULTS, DORVIK_ISO_LAYOUT, DORVIK_WRITE_LOG, DORVIK_LOG_DIR, DORVIK_WRITE_TYPE,\n'
  printf 'DORVIK_TEMP_FILE, DORVIK_TIME_SCALE, SOURCE_DATE_EPOCH.\n'
} >"$include"
help2man --no-info --name "write files, folders and disc images to CDs and DVDs" \
  --include "$include" --output "$output" "$program"
rm -f "$include"
