#!/usr/bin/env bash
# The window shows at every start, also after the program was ended while its window was
# hidden in the notification area. On a fresh X display with a window manager (openbox) and
# a notification area (trayer), ROUNDS times: start Kestrune, close its window to the tray
# with Alt+F4, end the program with SIGTERM. Then a start while one copy runs hidden: that
# copy's window shows and the later start ends; and a start while the running copy ends.
# usage: tray_restart_check.sh KESTRUNE [ROUNDS]; exit status 77 when a tool is missing.
set -u
exe=$1
rounds=${2:-10}
for tool in Xvfb openbox trayer xdotool xprop xwininfo; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done

scratch=$(mktemp -d)
helpers=()
cleanup() {
  for pid in "${helpers[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  cat "$scratch/helpers.log" "$scratch/out.txt" 2>/dev/null
  exit 1
}
# Waits up to 20 seconds for the command to succeed.
within() {
  for _ in $(seq 200); do "$@" && return 0; sleep 0.1; done
  return 1
}
# Starts a helper of the display and waits for its check; one that ends at once, before it
# could reach the new display, is started again, a few times.
start_helper() {
  local check=$1
  shift
  for _ in 1 2 3; do
    "$@" >>"$scratch/helpers.log" 2>&1 &
    local pid=$!
    for _ in $(seq 200); do
      if sh -c "$check" >/dev/null 2>&1; then
        helpers+=("$pid")
        return 0
      fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$pid" 2>/dev/null
  done
  return 1
}

# A portable copy in a folder of its own, and a runtime folder of its own for the lock.
cp "$exe" "$scratch/kestrune"
mkdir -m 700 "$scratch/runtime"
export XDG_RUNTIME_DIR=$scratch/runtime

# Xvfb picks a free display itself, so that checks running side by side never share one.
Xvfb -displayfd 3 -screen 0 1280x900x24 3>"$scratch/display" >/dev/null 2>&1 &
helpers+=($!)
within test -s "$scratch/display" || fail "Xvfb did not start"
export DISPLAY=:$(cat "$scratch/display")
within sh -c 'xprop -root >/dev/null 2>&1' || fail "the display does not answer"
start_helper 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' openbox ||
  fail "the window manager did not start"
start_helper 'xdotool search --name "^panel$"' \
  trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 ||
  fail "the notification area did not start"
panel=$(xdotool search --name '^panel$' | head -1)

# The program's main window as the window manager shows it: mapped, in the normal state.
shown_window() {
  local id
  id=$(xdotool search --all --pid "$1" --onlyvisible --name '^Kestrune$' 2>/dev/null | head -1)
  [ -n "$id" ] && xprop -id "$id" WM_STATE 2>/dev/null | grep -q 'window state: Normal' &&
    echo "$id"
}
is_shown() { shown_window "$1" >/dev/null; }
is_hidden() { ! is_shown "$1" && kill -0 "$1" 2>/dev/null; }
# The program's icon sits in the notification area, so closing the window hides it there.
icon_in_tray() { xwininfo -tree -id "$panel" 2>/dev/null | grep -q '"kestrune": ("kestrune"'; }
# Alt+F4 typed on the keyboard (XTEST, press and release), with the window in front, until
# the window is hidden: a window manager that has just started may not have bound it yet.
close_to_tray() {
  local id
  for _ in 1 2 3; do
    id=$(shown_window "$1") || return 0
    xdotool windowactivate --sync "$id" >/dev/null 2>&1
    xdotool key alt+F4
    for _ in $(seq 30); do is_shown "$1" || return 0; sleep 0.1; done
  done
}
start() {
  "$scratch/kestrune" >>"$scratch/out.txt" 2>&1 &
  pid=$!
}

for round in $(seq "$rounds"); do
  start
  within is_shown "$pid" || fail "round $round: the window did not show"
  within icon_in_tray || fail "round $round: no icon in the notification area"
  close_to_tray "$pid"
  within is_hidden "$pid" || fail "round $round: closing did not hide the window to the tray"
  kill -TERM "$pid"
  wait "$pid"
  status=$?
  [ "$status" -eq 0 ] || fail "round $round: SIGTERM ended it with status $status"
  echo "round $round: shown, hidden, ended"
done

start
first=$pid
within is_shown "$first" || fail "the window did not show"
within icon_in_tray || fail "no icon in the notification area"
close_to_tray "$first"
within is_hidden "$first" || fail "closing did not hide the window"
"$scratch/kestrune" || fail "the later start ended with status $?"
within is_shown "$first" || fail "a later start did not show the hidden window"
echo "a later start showed the hidden window"

# A start while the running copy ends: it waits for the lock and shows a window of its own.
kill -TERM "$first"
start
wait "$first"
within is_shown "$pid" || fail "a start while the running copy ended showed no window"
kill -TERM "$pid"
wait "$pid"
echo "a start while the running copy ended showed its own window"
