#!/usr/bin/env bash
# The message generator takes the catalogue, and refuses it with one entry marked fuzzy
# or left untranslated, naming the entry, as msgfmt --check would.
set -euo pipefail
python=$1 generator=$2 catalogue=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$python" "$generator" "$catalogue" "$work/table.h" "$work/texts.h" 1.0 || { echo "FAIL: the catalogue is refused"; exit 1; }
# The entry named "exists", marked fuzzy; then with its translation emptied.
awk '/^msgctxt "exists"$/ { print "#, fuzzy" } { print }' "$catalogue" >"$work/fuzzy.po"
awk '/^msgctxt "exists"$/ { mark = 1 } mark && /^msgstr / { print "msgstr \"\""; mark = 0; next }
     { print }' "$catalogue" >"$work/empty.po"
for case in fuzzy empty; do
  cmp -s "$catalogue" "$work/$case.po" && { echo "FAIL: no $case entry was made"; exit 1; }
  if out=$("$python" "$generator" "$work/$case.po" "$work/$case.h" "$work/texts.h" 1.0 2>&1); then
    echo "FAIL: a $case entry was taken"; exit 1
  fi
  grep -q 'exists' <<<"$out" || { echo "FAIL: the $case entry is not named: $out"; exit 1; }
done
echo "catalogue: unfinished entries are refused"
