# Shared by the end-to-end scripts: a private X server, the game started in
# it, keys pressed, and the game's exit checked. Sourced, not run.
# Callers set: game (the executable), and may set game_env (VAR=value words
# for the game's environment) and game_runner (the command that runs it, as
# wine). Exit code 77 means skipped.

skip() {
  echo "SKIPPED: $*" >&2
  exit 77
}
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
require_tools() {
  for tool in "$@"; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/setup.sh installs it)"
  done
}

# Under the sanitizer build, leave the system D-Bus library's own memory alone.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/lsan.supp"

work=$(mktemp -d)
xvfb_pid=""
game_pid=""
game_env=()
game_runner=()
cleanup() {
  [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A private display, on a number the server picks itself.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/private-xvfb.sh"
start_xvfb() {  # [WxHxDEPTH [XVFB-OPTION...]]
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  start_private_xvfb "$work" "$@" || fail "no private X server"
}

# Polls a condition for up to $1 seconds.
wait_for() {
  local seconds=$1
  shift
  local tries=$((seconds * 20))
  for _ in $(seq "$tries"); do
    "$@" && return 0
    sleep 0.05
  done
  return 1
}

start_game() {
  xdotool mousemove 0 0  # away from the link
  env "${game_env[@]}" "${game_runner[@]}" "$game" >"$work/game.log" 2>&1 &
  game_pid=$!
  window=""
  for _ in $(seq 200); do
    window=$(xdotool search --onlyvisible --pid "$game_pid" 2>/dev/null | head -n1)
    [ -n "$window" ] && break
    kill -0 "$game_pid" 2>/dev/null || fail "the game ended at start: $(cat "$work/game.log")"
    sleep 0.05
  done
  [ -n "$window" ] || fail "the game window did not appear"
  xdotool windowfocus "$window"
}

# A key held for 80 ms, so the game sees a press and a release apart.
tap() {
  xdotool keydown "$1"
  sleep 0.08
  xdotool keyup "$1"
}

# Waits for the game to end and checks its exit code.
expect_exit_0() {
  local code
  for _ in $(seq 100); do
    kill -0 "$game_pid" 2>/dev/null || break
    sleep 0.05
  done
  kill -0 "$game_pid" 2>/dev/null && fail "$1: the game is still running"
  wait "$game_pid"
  code=$?
  game_pid=""
  [ "$code" -eq 0 ] || fail "$1: exit code $code: $(cat "$work/game.log")"
}

# Whether the window shows exactly what the game drew into one of its two
# window images, the shared memory a present of the whole canvas would send
# (each is whole as of the frame it last sent): rows a present left out show
# there. The game is stopped while they are read, so no present falls in
# between; it may stop between a copy and its send, so poll this.
shows_what_was_drawn() {
  kill -STOP "$game_pid"
  python3 - "$window" "$game_pid" <<'PYTHON'
import ctypes, subprocess, sys
window, pid = sys.argv[1], sys.argv[2]
info = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True).stdout
w, h = (int(info.split(k)[1].split()[0]) for k in ("Width:", "Height:"))
libc = ctypes.CDLL(None)
libc.shmat.restype = ctypes.c_void_p
libc.shmat.argtypes = [ctypes.c_int, ctypes.c_void_p, ctypes.c_int]
shown = subprocess.run(["import", "-window", window, "-depth", "8", "rgb:-"],
                       capture_output=True).stdout
for line in subprocess.run(["ipcs", "-m", "-p"], capture_output=True, text=True).stdout.splitlines():
    f = line.split()
    if len(f) < 3 or not f[0].isdigit() or f[2] != pid:
        continue
    addr = libc.shmat(int(f[0]), None, 0o10000)  # read only
    if addr in (None, ctypes.c_void_p(-1).value):
        continue
    image = ctypes.string_at(addr, w * h * 4)  # 32-bit pixels, blue byte first
    libc.shmdt(ctypes.c_void_p(addr))
    drawn = bytearray(w * h * 3)
    drawn[0::3], drawn[1::3], drawn[2::3] = image[2::4], image[1::4], image[0::4]
    if shown == drawn:
        sys.exit(0)
sys.exit(1)
PYTHON
  local same=$?
  kill -CONT "$game_pid"
  return $same
}
