#!/usr/bin/env bash
# Drives the program in a real terminal (tmux): the help screen, a key press that is
# not echoed, the cleared screen, and the terminal's settings given back at the end.
set -euo pipefail
binary=$1
examples=$2
export LC_ALL=C.UTF-8
work=$(mktemp -d)
# Each session gets a server of its own: a server stopped by kill-server may still
# accept a connection for a moment and then drop it, so a socket is never reused.
first_socket="rotorwerk-test-$$-a"
second_socket="rotorwerk-test-$$-b"
socket=$first_socket
cleanup() {
  tmux -L "$first_socket" kill-server 2>/dev/null || true
  tmux -L "$second_socket" kill-server 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cp "$examples"/* "$work"/

. "$(dirname "$0")/tmux_support.sh"

# The key wait changes the terminal's modes just after drawing and restores them just
# after the key, so the modes are polled before anything is typed.
has_modes() {  # the pane's terminal has every mode named, such as -echo or icanon
  local modes mode
  modes=$(stty -F "$(tmux -L "$socket" display-message -p -t test '#{pane_tty}')" -a | tr ' ;' '\n\n')
  for mode in "$@"; do grep -qx -- "$mode" <<<"$modes" || return 1; done
}
wait_for_modes() {
  for _ in $(seq 50); do has_modes "$@" && return 0; sleep 0.1; done
  fail "the terminal never had the modes: $*"
}
wait_for_key_wait() { wait_for_modes -echo -icanon; }
wait_for_line_input() { wait_for_modes echo icanon; }
# The session's shell records the modes before the program starts and after it ends.
expect_modes_restored() {
  for _ in $(seq 50); do [ -s "$work/after.txt" ] && break; sleep 0.1; done
  diff <(grep -o -- '-\?icanon\|-\?echo ' "$work/before.txt") \
    <(grep -o -- '-\?icanon\|-\?echo ' "$work/after.txt") || fail "$1"
}

tmux -L "$socket" -f /dev/null new-session -d -s test -x 80 -y 16 \
  "cd '$work' && stty -a > before.txt && '$binary'; echo \"exit=\$?\"; stty -a > after.txt; sleep 30"
wait_for "|-u 正常使用 -h 帮助                             |"
tmux -L "$socket" send-keys -t test -- "-h" Enter
wait_for "|  enigma_init.ef: 存储使用的转子、插头、偏移信息|"
grep -qF "Rotorwerk Pro v1.0-beta1                        |" <<<"$(screen)" || fail "help screen incomplete"
[ "$(screen | grep -c 'Rotorwerk Pro加密器')" = 0 ] || fail "the help screen should follow a cleared screen"

# While a key is awaited the terminal neither echoes nor waits for a line end.
wait_for_key_wait
tmux -L "$socket" send-keys -t test -- "Z"
expect_only_banner
[ "$(tmux -L "$socket" display-message -p -t test '#{history_size}')" = 0 ] \
  || fail "the scrollback should be erased"

# A -u command's output stands below the banner and the typed command until a key.
tmux -L "$socket" send-keys -t test -- "-u letter.txt 1 0 RW-26001B" Enter
wait_for "[成功] 成功输出到文件enigma_code.txt"
grep -qF -- "-u letter.txt 1 0 RW-26001B" <<<"$(screen)" || fail "the typed command should still show"
wait_for_key_wait
tmux -L "$socket" send-keys -t test -- "x"
wait_for_line_input
tmux -L "$socket" send-keys -t test -- "-u enigma_code.txt 0" Enter
wait_for "Meet me at 7:30 by the old mill."
grep -qF "文本使用语言：英文" <<<"$(screen)" || fail "language line missing"
wait_for_key_wait
tmux -L "$socket" send-keys -t test -- "x"
wait_for_line_input
tmux -L "$socket" send-keys -t test C-d
wait_for "exit=0"
expect_modes_restored "terminal settings not restored"

# Ctrl-C while a key is awaited ends the program and gives the terminal back.
tmux -L "$socket" kill-server
socket=$second_socket
rm -f "$work/before.txt" "$work/after.txt"
# The shell traps Ctrl-C so that it survives to record the settings afterwards.
tmux -L "$socket" -f /dev/null new-session -d -s test -x 80 -y 16 \
  "trap 'true' INT; cd '$work' && stty -a > before.txt && '$binary'; echo \"exit=\$?\"; stty -a > after.txt; sleep 30"
wait_for "|-u 正常使用 -h 帮助                             |"
tmux -L "$socket" send-keys -t test -- "-h" Enter
wait_for "|  enigma_init.ef: 存储使用的转子、插头、偏移信息|"
wait_for_key_wait
tmux -L "$socket" send-keys -t test C-c
wait_for "exit=130"
expect_modes_restored "terminal settings not restored after Ctrl-C"
echo "terminal session: ok"
