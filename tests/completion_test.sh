#!/usr/bin/env bash
# The bash completion file completes commands, options, coding types and file names.
set -euo pipefail
source "$1"
cd "$(mktemp -d)"
trap 'rm -rf "$PWD"' EXIT
touch letter.txt
fail() { echo "completion: $*" >&2; exit 1; }
complete_words() {
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  _rotorwerk
  echo "${COMPREPLY[*]}"
}
[ "$(complete_words rotorwerk enc)" = encrypt ] || fail "command: $(complete_words rotorwerk enc)"
[ "$(complete_words rotorwerk encrypt --ty)" = --type ] || fail "option"
[ "$(complete_words rotorwerk encrypt -t RW)" = "RW-26001A RW-26001B" ] || fail "coding types"
[ "$(complete_words rotorwerk decrypt --ty)" = "" ] || fail "decrypt has no --type"
[ "$(complete_words rotorwerk encrypt let)" = letter.txt ] || fail "file name"
echo "completion: commands, options, coding types and file names complete"
