#!/usr/bin/env bash
# The README's examples run as written, in order, as a user runs them after the two
# set-up commands at its top: each shell block from the root of a scratch copy of the
# repository with the built program in build/, and the transcripts of trace and attack
# give what they show.
#   readme_test.sh SOURCE BUILD
set -euo pipefail
source=$1 build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work LC_ALL=C.UTF-8  # the blocks' mktemp directories stay inside
fail() { echo "readme: $*" >&2; exit 1; }
repo=$work/repo
mkdir -p "$repo/build" "$work/tmp"
cp -r "$source/examples" "$source/doc" "$repo/"
ln -s "$build/rotorwerk" "$repo/build/rotorwerk"
export PATH="$repo/build:$PATH"
# The library example builds against an installed library, as the README says.
cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; fail "cmake --install"; }
export CMAKE_PREFIX_PATH=$work/prefix

# Every ```sh block, one file each, in the README's order.
awk -v dir="$work" '/^```sh$/ { n++; file = sprintf("%s/block%02d.sh", dir, n); next }
  file && /^```$/ { file = ""; next }
  file { print > file }' "$source/README.md"
# The two set-up commands stand first, as written, and are the ones skipped below.
[ "$(cat "$work/block01.sh")" = "tools/install-deps && cmake -S . -B build && cmake --build build -j2 --target rotorwerk && (cd examples && ../build/rotorwerk)" ] ||
  fail "the first set-up command is not the first block"
[ "$(cat "$work/block02.sh")" = "tools/test-all" ] || fail "the second block is not tools/test-all"
ran=0
for block in "$work"/block*.sh; do
  case $block in
    # The two set-up commands: the first installs packages and starts the console in a
    # terminal, the second is the whole suite, which this test is part of.
    */block01.sh | */block02.sh) continue ;;
  esac
  # The contributor's test command builds and runs this suite itself.
  grep -q '^tools/test-quick' "$block" && continue
  out=$(cd "$repo" && bash -e "$block" 2>&1) ||
    fail "this block failed:
$(cat "$block")
with:
$out"
  ran=$((ran + 1))
  echo "$out" >"${block%.sh}.out"
done
[ "$ran" -ge 4 ] || fail "only $ran shell blocks ran"
grep -qx "round trip ok" "$work"/block*.out || fail "Scripting: no round trip"
grep -qx "Dear Bob, the boat leaves at six." "$work"/block*.out || fail "sharing: no letter back"
grep -q "(verified)" "$work"/block*.out || fail "the library example did not verify"

# The transcripts of "Watching the machine, and breaking it", run from examples/: each
# "$ " line, its output compared with the lines below it. /tmp is the scratch folder's.
awk '/^## Watching the machine/ { section = 1; next } section && /^## / { exit }
  section && /^```$/ { inside = !inside; next } section && inside' "$source/README.md" |
  sed "s|/tmp/|$work/tmp/|g" >"$work/transcript"
grep -q '^\$ ' "$work/transcript" || fail "no transcript of trace and attack"
command='' expected='' steps=0
check_step() {
  [ -n "$command" ] || return 0
  # Standard output, then standard error, as the README shows them.
  (cd "$repo/examples" && bash -c "$command" >"$work/step.out" 2>"$work/step.err") || true
  local got
  got=$(cat "$work/step.out" "$work/step.err")
  # Threads that climb at once may each check a candidate before the first confident
  # one stops them, so that count is the one figure that may differ from run to run.
  local count='s/among the [0-9]+ candidates/among the N candidates/'
  [ "$(sed -E "$count" <<<"$got")" = "$(sed -E "$count" <<<"$expected")" ] || fail "'$command' gave:
$got
where the README shows:
$expected"
  steps=$((steps + 1))
}
while IFS= read -r line; do
  if [[ $line == '$ '* ]]; then
    check_step
    command=${line#'$ '} expected=''
  else
    expected+=${expected:+$'\n'}$line
  fi
done <"$work/transcript"
check_step
echo "readme: $ran shell blocks and $steps transcript commands ran as written"
