#!/bin/bash
# The program driven with the keyboard alone, as a person without a mouse
# does, under a real X server with a window manager (openbox) and a tray
# (trayer): every window is opened with its Alt+letter key, Tab must move a
# visible focus in each, Escape closes each as its Cancel or Close does, and
# Escape during a scan asks before stopping (No keeps scanning). Every window
# must open inside the screen. Screenshots of each go to SHOTS.
#
# usage: keyboard_trial.sh ORVANE [SHOTS] [SCALE]
#   SCALE 2 runs the same at QT_SCALE_FACTOR=2 on a 2560 x 1600 screen.
set -u
orvane=$(readlink -f "$1")
shots=${2:-$PWD/keyboard-trial-shots}
scale=${3:-1}
if [ "$scale" != 1 ] && [ -z "${TRIAL_SCREEN:-}" ]; then export TRIAL_SCREEN=2560x1600x24; fi
. "$(dirname "$(readlink -f "$0")")/trial_common.sh"
command -v openbox >/dev/null && command -v trayer >/dev/null || { echo "SKIP: openbox or trayer missing"; exit 77; }
export WINEPREFIX=$work/no-prefix QT_SCALE_FACTOR=$scale

openbox >"$work/openbox.log" 2>&1 &
wm=$!
trayer --edge bottom --align right --widthtype pixel --width 120 --heighttype pixel --height 24 \
  >"$work/trayer.log" 2>&1 &
tray=$!
trial_cleanup() { kill "$tray" "$wm" 2>/dev/null; }
sleep 1

read -r screen_w screen_h < <(xdotool getdisplaygeometry)
inside() {  # WINDOW NAME: the window lies wholly on the screen
  eval "$(xdotool getwindowgeometry --shell "$1")"
  echo "$2 at $X,$Y size ${WIDTH}x$HEIGHT on ${screen_w}x$screen_h"
  [ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le "$screen_w" ] && [ $((Y + HEIGHT)) -le "$screen_h" ] ||
    fail "$2 is not inside the screen"
}
# The window's pixels before and after Tab differ: the focus ring moved.
tab_moves_focus() {  # WINDOW NAME
  import -window "$1" "$work/before.png"
  xdotool key Tab
  sleep 0.4
  import -window "$1" "$work/after.png"
  local changed
  changed=$(compare -metric AE "$work/before.png" "$work/after.png" null: 2>&1 | cut -d' ' -f1)
  echo "$2: Tab changed $changed pixels"
  [ "${changed%.*}" -gt 0 ] 2>/dev/null || fail "Tab changed nothing in $2"
}
# Opens a window with KEY from the main window, looks at it, Tabs twice,
# shoots it, and closes it with Escape.
walk() {  # KEY TITLE-REGEX SHOT
  xdotool windowactivate --sync "$main" 2>/dev/null
  xdotool key "$1"
  local id
  id=$(wait_for 20 "$2") || fail "$1 opened no window titled $2"
  sleep 0.8
  inside "$id" "$3"
  tab_moves_focus "$id" "$3"
  xdotool key Tab
  sleep 0.3
  import -window root "$shots/$3.png"
  xdotool key Escape
  gone 10 "$2" || fail "Escape did not close $3"
}

"$orvane" >"$work/orvane.log" 2>&1 &
program=$!
main=$(wait_for 30 '^Orvane Performance$') || fail "no main window"
sleep 1
inside "$main" main
tab_moves_focus "$main" main
import -window root "$shots/main.png"

walk alt+t '^Settings$' settings
walk alt+b '^Restore Backups$' backups
walk alt+m '^Manage Windows Startup$' startup
walk alt+u '^Manage Windows Uninstall$' uninstall
walk alt+i '^Internet Accelerator$' junk-and-privacy

# A scan: Escape asks, No keeps it going, and it completes.
xdotool windowactivate --sync "$main" 2>/dev/null
xdotool key alt+s
progress=$(wait_for 20 '^Scan in Progress$') || fail "Alt+S started no scan"
sleep 1.5
inside "$progress" progress
xdotool key Escape
question=$(wait_for 10 '^Orvane$') || fail "Escape during the scan asked nothing"
sleep 0.5
import -window root "$shots/stop-question.png"
xdotool key n
sleep 1
xdotool search --onlyvisible --name '^Scan in Progress$' >/dev/null || fail "No stopped the scan"
done_box=$(wait_for 90 '^Orvane$') || fail "the scan did not complete"
import -window root "$shots/completed.png"
press "$done_box" Return
results=$(wait_for 20 '^Repair Problems$') || fail "no results window"
sleep 1
inside "$results" results
# The list has the focus: Enter opens its first section's records, Down and
# Space untick one of them, Escape keeps the change and comes back.
xdotool key Return
details=$(wait_for 20 '^Scanning results by section$') || fail "Enter on the results list opened nothing"
sleep 0.8
inside "$details" details
xdotool key Down space
sleep 0.4
import -window root "$shots/details.png"
# The Menu key opens the record's menu ("Always ignore this"); Escape closes
# the menu alone, the next Escape the window.
import -window root "$work/no-menu.png"
xdotool key Menu
sleep 0.5
import -window root "$shots/details-menu.png"
opened=$(compare -metric AE "$work/no-menu.png" "$shots/details-menu.png" null: 2>&1 | cut -d' ' -f1)
echo "details: the Menu key changed $opened pixels"
[ "${opened%.*}" -gt 0 ] 2>/dev/null || fail "the Menu key opened no menu on the record"
xdotool key Escape
sleep 0.4
xdotool search --onlyvisible --name '^Scanning results by section$' >/dev/null ||
  fail "Escape on the record's menu closed the details too"
xdotool key Escape
gone 10 '^Scanning results by section$' || fail "Escape did not close the details"
sleep 0.5
tab_moves_focus "$results" results
import -window root "$shots/results.png"
xdotool key Escape
gone 10 '^Repair Problems$' || fail "Escape did not close the results"

# Escape on the main window closes it to the tray, which says so.
xdotool windowactivate --sync "$main" 2>/dev/null
xdotool key Escape
gone 10 '^Orvane Performance$' || fail "Escape did not close the main window"
sleep 1
import -window root "$shots/closed-to-tray.png"
kill -0 "$program" 2>/dev/null || fail "the program ended instead of going to the tray"
echo "PASS: screenshots in $shots"
