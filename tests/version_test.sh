#!/usr/bin/env bash
# The manual and the changelog name the build's version (the texts take it from the
# build itself).
set -euo pipefail
root=$1 label=$2 package=$3
fail() { echo "version: $*" >&2; exit 1; }
grep -q "^\.TH ROTORWERK 1 [0-9-]* \"Rotorwerk Pro $label\"" "$root/doc/rotorwerk.1" ||
  fail "the manual's title line does not name $label"
[ "$(head -n 1 "$root/doc/changelog" | cut -d' ' -f2)" = "($package)" ] ||
  fail "the changelog's first entry is not ($package)"
echo "version: manual and changelog agree on $label"
