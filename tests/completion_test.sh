#!/usr/bin/env bash
# The completions for bash, zsh and fish complete commands, options, coding types and
# file names, each in its own shell; and for every command, each shell's completion,
# the command's --help and the manual name exactly the same long options.
#   completion_test.sh PROGRAM COMPLETION_DIR MANUAL
set -euo pipefail
program=$1 completions=$2 manual=$3
source "$completions/rotorwerk"
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

sorted() { tr ' ' '\n' | grep -- '^--' | sort -u | tr '\n' ' '; }
have_fish=$(command -v fish || true)
have_zsh=$(command -v zsh || true)
[ -n "$have_fish" ] || echo "completion: fish is not installed; its completion is not tested"
[ -n "$have_zsh" ] || echo "completion: zsh is not installed; its completion is not tested"
if [ -n "$have_fish" ]; then
  [ "$(fish -c "source $completions/rotorwerk.fish; complete -C 'rotorwerk enc'")" = encrypt ] ||
    fail "fish: command"
  [ "$(fish -c "source $completions/rotorwerk.fish; complete -C 'rotorwerk encrypt -t RW'" |
    cut -f1 | tr '\n' ' ')" = "RW-26001A RW-26001B " ] || fail "fish: coding types"
fi
for command in encrypt decrypt keygen check trace attack; do
  help=$(LC_ALL=C "$program" "$command" --help | grep -o -- '--[a-z-]*' | sorted)
  bash_words=$(complete_words rotorwerk "$command" -- | sorted)
  [ "$bash_words" = "$help" ] || fail "bash, $command: '$bash_words', help: '$help'"
  for option in $help; do
    grep -q -- "${option//-/\\\\-}" "$manual" || fail "the manual does not name $option"
  done
  if [ -n "$have_fish" ]; then
    fish_words=$(fish -c "source $completions/rotorwerk.fish; complete -C 'rotorwerk $command --'" |
      cut -f1 | sorted)
    [ "$fish_words" = "$help" ] || fail "fish, $command: '$fish_words', help: '$help'"
  fi
  if [ -n "$have_zsh" ]; then
    # The completion function run in zsh, its helpers replaced by ones that print the
    # option descriptions it offers.
    zsh_words=$(zsh -f -c "
      _arguments() { print -l -- \"\$@\" }
      _values() { print -l -- \"\$@\" }
      _files() { : }
      words=(rotorwerk $command --); CURRENT=3
      source $completions/_rotorwerk" | sed -n 's/^\(([^)]*)\)\{0,1\}\(--[a-z-]*\).*/\2/p' | sorted)
    [ "$zsh_words" = "$help" ] || fail "zsh, $command: '$zsh_words', help: '$help'"
  fi
done

# Descriptions keep their punctuation as the shell shows them: an apostrophe and a
# colon (bash shows no descriptions, only words).
described_as=(
  "attack --language:the text's language: en (default), de, fr, es, or auto to try each"
  "encrypt --output:the code file (default enigma_code.txt; '-': standard output)"
)
# The options zsh lists for "rotorwerk COMMAND --", each with its description, from
# an interactive zsh whose real completion system lists them (Ctrl-D).
zsh_listing() {
  zsh -f -c "
    zmodload zsh/zpty
    zpty z 'zsh -f -i'
    zpty -w z 'PS1=\"RE\"\"ADY> \"; fpath=($completions \$fpath); autoload -Uz compinit; compinit -u -D'
    zpty -w z 'zstyle \":completion:*\" list-separator \"--\"; COLUMNS=300; LINES=200'
    zpty -r z out '*READY> '
    zpty -w -n z \$'rotorwerk $1 --\\C-d'
    out= idle=0
    # Until it has been quiet for a second, the listing drawn and the line redrawn.
    for try in {1..100}; do
      if zpty -r -t z chunk; then out+=\$chunk idle=0; else sleep 0.1; (( ++idle < 10 )) || break; fi
    done
    print -r -- \"\$out\"
    zpty -d z" | tr -d '\r' | sed 's/\x1b\[[0-9;?]*[A-Za-z]//g'
}
for entry in "${described_as[@]}"; do
  option=${entry%%:*} description=${entry#*:}
  command=${option% *} long=${option#* }
  if [ -n "$have_fish" ]; then
    fish_line=$(fish -c "source $completions/rotorwerk.fish; complete -C 'rotorwerk $command $long'")
    [ "$fish_line" = "$long"$'\t'"$description" ] || fail "fish, $option: '$fish_line'"
  fi
  if [ -n "$have_zsh" ]; then
    zsh_line=$(zsh_listing "$command" | grep -a -- "^$long " || true)
    [[ $zsh_line =~ ^$long\ +--\ (.*)$ && ${BASH_REMATCH[1]} == "$description" ]] ||
      fail "zsh, $option: '$zsh_line'"
  fi
done
echo "completion: bash, zsh and fish complete what --help and the manual name"
