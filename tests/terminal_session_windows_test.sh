#!/usr/bin/env bash
# Drives the Windows build in a real terminal (tmux) through Wine: the help screen in
# readable Chinese whatever the console's code page, and a key press taken without
# echo. (Wine's console passes no Ctrl-Z to the program, so the test ends with Ctrl-C;
# the piped end-to-end tests check that a 0x1A byte ends standard input.)
set -euo pipefail
binary=$1
examples=$2
launcher=${ROTORWERK_LAUNCHER:?the Windows build needs a launcher such as wine64}
export LC_ALL=C.UTF-8
work=$(mktemp -d)
socket="rotorwerk-windows-test-$$"
cleanup() { tmux -L "$socket" kill-server 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
cp "$examples"/* "$work"/
. "$(dirname "$0")/tmux_support.sh"

tmux -L "$socket" -f /dev/null new-session -d -s test -x 80 -y 30 \
  "cd '$work' && $launcher '$binary'; echo \"exit=\$?\"; sleep 30"
banner="|-u 正常使用 -h 帮助                             |"
wait_for "$banner"
tmux -L "$socket" send-keys -t test -- "-h" Enter
wait_for "|  enigma_init.ef: 存储使用的转子、插头、偏移信息|"
grep -qF "Rotorwerk Pro加密器" <<<"$(screen)" && fail "the help screen should follow a cleared screen"

# One key ends the wait; it is not echoed, and the screen is cleared for the banner.
tmux -L "$socket" send-keys -t test -- "Z"
expect_only_banner

tmux -L "$socket" send-keys -t test C-c
wait_for "exit="
echo "windows terminal session: ok"
