#!/bin/bash
# The desktop program as a person meets it, under a real X server: "orvane
# -scan" on a machine with planted faults shows the main window, then the
# scan's progress, its completion, then the results; a second start ends
# within two seconds and leaves the first one running. Screenshots of each
# step go to SHOTS (default: a folder beside this run).
#
# usage: window_trial.sh ORVANE [SHOTS]
set -u
orvane=$(readlink -f "$1")
shots=${2:-$PWD/window-trial-shots}
# Always on a server of its own, never on the desktop of whoever runs it.
if [ -z "${WINDOW_TRIAL_SERVER:-}" ]; then
  export WINDOW_TRIAL_SERVER=1
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$orvane" "$shots"
fi
mkdir -p "$shots"
work=$(mktemp -d)
first=
cleanup() {
  [ -n "$first" ] && kill "$first" 2>/dev/null && wait "$first" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
# A user of its own: its own settings, autostart folder, instance lock and
# the sample machine (no prefix where it looks, so it makes the sample).
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
export XDG_RUNTIME_DIR=$work/run WINEPREFIX=$work/no-prefix
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

fail() { echo "FAIL: $*"; import -window root "$shots/failure.png" 2>/dev/null; exit 1; }
# wait_for SECONDS NAME-REGEX: prints the window id once one is mapped.
wait_for() {
  local end=$((SECONDS + $1)) id
  while [ $SECONDS -lt $end ]; do
    id=$(xdotool search --onlyvisible --name "$2" 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  return 1
}

start=$SECONDS
"$orvane" -scan >"$work/first.log" 2>&1 &
first=$!
wait_for 30 '^Orvane Performance$' >/dev/null || fail "no window titled 'Orvane Performance'"
echo "main window after $((SECONDS - start)) s"
progress=$(wait_for 30 '^Scan in Progress$') || fail "no window titled 'Scan in Progress'"
echo "progress window after $((SECONDS - start)) s"
sleep 3
import -window root "$shots/progress.png"

# The second start hands over and ends; the first stays.
t0=$(date +%s%N)
timeout 10 "$orvane" >"$work/second.log" 2>&1
t1=$(date +%s%N)
ms=$(((t1 - t0) / 1000000))
echo "second start ended after $ms ms"
[ $ms -le 2000 ] || fail "the second start took $ms ms"
kill -0 "$first" 2>/dev/null || fail "the first instance ended"

# "The scan completed successfully." in a box captioned "Orvane".
done_box=$(wait_for 60 '^Orvane$') || fail "no completion message"
echo "completion message after $((SECONDS - start)) s"
import -window root "$shots/completed.png"
[ -n "${TRIAL_DEBUG:-}" ] && xwininfo -root -children > "$shots/windows.txt"
xdotool windowactivate --sync "$done_box" 2>/dev/null; xdotool key Return
results=$(wait_for 20 '^Repair Problems$') || fail "no results window"
echo "results window after $((SECONDS - start)) s"
[ $((SECONDS - start)) -le 60 ] || fail "the results came after more than a minute"
sleep 1
import -window root "$shots/results.png"
xdotool windowactivate --sync "$results" 2>/dev/null; xdotool key Escape
sleep 1
xdotool search --onlyvisible --name '^Repair Problems$' >/dev/null 2>&1 && fail "the results window stayed open"
import -window root "$shots/main.png"
kill -0 "$first" 2>/dev/null || fail "the program ended with the results window"
echo "PASS: screenshots in $shots"
