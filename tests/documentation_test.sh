#!/usr/bin/env bash
# The README's Scripting commands and the manual's EXAMPLES run as written, as a user
# would run them right after building: in a scratch copy of the repository's layout.
set -euo pipefail
source=$1 binary=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work  # the examples' mktemp directories stay inside
fail() { echo "documentation: $*" >&2; exit 1; }
mkdir -p "$work/repo/build"
ln -s "$binary" "$work/repo/build/rotorwerk"

awk '/^## Scripting/ { section = 1 } section && /^```sh/ { block = 1; next }
     block && /^```/ { exit } block' "$source/README.md" >"$work/readme.sh"
[ -s "$work/readme.sh" ] || fail "no Scripting block in the README"
out=$(cd "$work/repo" && bash -e "$work/readme.sh" 2>&1) || fail "README: $out"
grep -q "round trip ok" <<<"$out" || fail "README: no round trip: $out"

sed -n '/^\.SH EXAMPLES/,/^\.SH SEE/p' "$source/doc/rotorwerk.1" | sed -n 's/^\$ //p' |
  sed 's/\\-/-/g; s/\\e/\\/g' |
  sed "s|/usr/share/doc/rotorwerk/examples|$source/examples|" >"$work/manual.sh"
[ -s "$work/manual.sh" ] || fail "no EXAMPLES in the manual"
out=$(cd "$work" && PATH="$work/repo/build:$PATH" bash -e manual.sh 2>&1) || fail "manual: $out"
grep -qx same <<<"$out" || fail "manual: no round trip: $out"
# The library's Python example, where the module was built.
if [ -d "$(dirname "$binary")/python/rotorwerk" ]; then
  awk '/^## Using it as a library/ { section = 1 } section && /^```python/ { block = 1; next }
       block && /^```/ { exit } block' "$source/README.md" >"$work/readme.py"
  [ -s "$work/readme.py" ] || fail "no Python block in the README"
  out=$(cd "$source" && PYTHONPATH="$(dirname "$binary")/python" /usr/bin/python3 "$work/readme.py" 2>&1) ||
    fail "README's Python: $out"
  [ "$(tail -n 1 <<<"$out")" = "True True" ] || fail "README's Python: the key was not found: $out"
fi
echo "documentation: the README's Scripting and the manual's EXAMPLES run as written"
