# shellcheck shell=bash
# Sourced by the scripts and tests that drive the game in a real window.
# start_private_xvfb FOLDER [WxHxDEPTH [XVFB-OPTION...]] starts an X server
# (640x480x24 unless told) on a display number the server picks itself, so it
# never collides with another one, and exports DISPLAY.
# It sets xvfb_pid for the caller's cleanup and returns 1 if the server fails.
start_private_xvfb() {
  local work=$1 screen=${2:-640x480x24} fd
  shift $(($# < 2 ? $# : 2))
  exec {fd}>"$work/display"
  Xvfb -displayfd "$fd" -noreset -nolisten tcp -screen 0 "$screen" "$@" 2>"$work/xvfb.log" &
  # shellcheck disable=SC2034  # the caller kills it
  xvfb_pid=$!
  exec {fd}>&-
  for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.05
  done
  if [ ! -s "$work/display" ]; then
    echo "Xvfb did not start: $(cat "$work/xvfb.log")" >&2
    return 1
  fi
  DISPLAY=":$(head -n1 "$work/display")"
  export DISPLAY
}
