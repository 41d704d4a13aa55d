# Shared by the tmux session tests: reading the pane of the session "test" on the
# tmux server named by $socket.
fail() { echo "FAIL: $*"; echo "--- screen:"; screen; exit 1; }
screen() { tmux -L "$socket" capture-pane -p -t test; }
wait_for() {  # waits until the screen shows the text
  for _ in $(seq 100); do
    screen | grep -qF -- "$1" && return 0
    sleep 0.1
  done
  fail "never saw: $1"
}
