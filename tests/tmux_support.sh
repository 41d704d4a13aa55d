# Shared by the tmux session tests: reading the pane of the session "test" on the
# tmux server named by $socket.
fail() { echo "FAIL: $*"; echo "--- screen:"; screen; exit 1; }
screen() { tmux -L "$socket" capture-pane -p -t test; }
wait_for() {  # waits until the screen shows the text
  for _ in $(seq 100); do
    grep -qF -- "$1" <<<"$(screen)" && return 0
    sleep 0.1
  done
  fail "never saw: $1"
}
# After a key ends a wait, the screen is cleared and holds only the banner: the key
# was not echoed.
expect_only_banner() {
  wait_for "Rotorwerk Pro加密器"
  sleep 0.5
  local expected=$'+------------------------------------------------+\n|Rotorwerk Pro加密器v1.0-beta1                   |\n|-u 正常使用 -h 帮助                             |\n+------------------------------------------------+'
  [ "$(screen | sed '/^$/d')" = "$expected" ] || fail "after the key the screen should hold only the banner"
}
