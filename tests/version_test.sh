#!/usr/bin/env bash
# The console texts are what the generator writes for the build's version, and the
# manual and the changelog name that version.
set -euo pipefail
root=$1 label=$2 package=$3
fail() { echo "version: $*" >&2; exit 1; }
python3 "$root/tools/gen_texts.py" "$label" | cmp -s - "$root/console/texts.h" ||
  fail "console/texts.h is not what 'tools/gen_texts.py $label' writes"
grep -q "^\.TH ROTORWERK 1 [0-9-]* \"Rotorwerk Pro $label\"" "$root/doc/rotorwerk.1" ||
  fail "the manual's title line does not name $label"
[ "$(head -n 1 "$root/doc/changelog" | cut -d' ' -f2)" = "($package)" ] ||
  fail "the changelog's first entry is not ($package)"
echo "version: texts, manual and changelog agree on $label"
