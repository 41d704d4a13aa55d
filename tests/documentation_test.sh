#!/usr/bin/env bash
# The manual's EXAMPLES and the README's Python example run as written, as a user would
# run them right after building (readme_test.sh runs the README's shell blocks).
set -euo pipefail
source=$1 binary=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work  # the examples' mktemp directories stay inside
fail() { echo "documentation: $*" >&2; exit 1; }
mkdir -p "$work/repo/build"
ln -s "$binary" "$work/repo/build/rotorwerk"

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
echo "documentation: the manual's EXAMPLES and the README's Python run as written"
