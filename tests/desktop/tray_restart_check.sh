#!/usr/bin/env bash
# The window shows at every start, also after the program was ended while its window was
# hidden in the notification area. On a fresh X display with a window manager (openbox) and
# a notification area (trayer), ROUNDS times: start Kestrune, close its window to the tray
# with Alt+F4, end the program with SIGTERM. Then a start while one copy runs hidden: that
# copy's window shows and the later start ends.
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
fail() { echo "FAILED: $*"; exit 1; }

# A portable copy in a folder of its own, and a runtime folder of its own for the lock.
cp "$exe" "$scratch/kestrune"
mkdir -m 700 "$scratch/runtime"
export XDG_RUNTIME_DIR=$scratch/runtime

display=70
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 1280x900x24 >/dev/null 2>&1 & helpers+=($!)
export DISPLAY=:$display
for _ in $(seq 50); do xprop -root >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 & helpers+=($!)
trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 \
  >/dev/null 2>&1 & helpers+=($!)

# Waits up to 20 seconds for the command to succeed.
within() {
  for _ in $(seq 200); do "$@" && return 0; sleep 0.1; done
  return 1
}
# The program's main window as the window manager shows it: mapped, in the normal state.
shown_window() {
  local id
  id=$(xdotool search --all --pid "$1" --onlyvisible --name '^Kestrune$' 2>/dev/null | head -1)
  [ -n "$id" ] && xprop -id "$id" WM_STATE 2>/dev/null | grep -q 'window state: Normal' &&
    echo "$id"
}
is_shown() { shown_window "$1" >/dev/null; }
is_hidden() { ! is_shown "$1" && kill -0 "$1" 2>/dev/null; }
# Alt+F4 typed on the keyboard (XTEST, press and release), with the window in front.
close_to_tray() {
  local id
  id=$(shown_window "$1") || return 1
  xdotool windowactivate --sync "$id" >/dev/null 2>&1
  xdotool key alt+F4
}
# The first start waits for the window manager and the notification area, as at a login.
within sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
  fail "the window manager did not start"
within sh -c 'xdotool search --name "^panel$" >/dev/null 2>&1' ||
  fail "the notification area did not start"
panel=$(xdotool search --name '^panel$' | head -1)
# The program's icon sits in the notification area, so closing the window hides it there.
icon_in_tray() { xwininfo -tree -id "$panel" 2>/dev/null | grep -q '"kestrune": ("kestrune"'; }

for round in $(seq "$rounds"); do
  "$scratch/kestrune" >"$scratch/out.txt" 2>&1 &
  pid=$!
  within is_shown "$pid" || fail "round $round: the window did not show"
  within icon_in_tray || fail "round $round: no icon in the notification area"
  close_to_tray "$pid" || fail "round $round: no window to close"
  within is_hidden "$pid" || fail "round $round: closing did not hide the window to the tray"
  kill -TERM "$pid"
  wait "$pid"
  status=$?
  [ "$status" -eq 0 ] || fail "round $round: SIGTERM ended it with status $status"
  echo "round $round: shown, hidden, ended"
done

"$scratch/kestrune" >"$scratch/out.txt" 2>&1 &
pid=$!
within is_shown "$pid" || fail "the window did not show"
within icon_in_tray || fail "no icon in the notification area"
close_to_tray "$pid" && within is_hidden "$pid" || fail "closing did not hide the window"
"$scratch/kestrune" || fail "the later start ended with status $?"
within is_shown "$pid" || fail "a later start did not show the hidden window"
kill -TERM "$pid"
wait "$pid"
echo "a later start showed the hidden window"
