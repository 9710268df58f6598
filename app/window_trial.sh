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
. "$(dirname "$(readlink -f "$0")")/trial_common.sh"
# No prefix where it looks, so the program makes the sample machine.
export WINEPREFIX=$work/no-prefix

start=$SECONDS
"$orvane" -scan >"$work/first.log" 2>&1 &
program=$!
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
kill -0 "$program" 2>/dev/null || fail "the first instance ended"

# "The scan completed successfully." in a box captioned "Orvane".
done_box=$(wait_for 60 '^Orvane$') || fail "no completion message"
echo "completion message after $((SECONDS - start)) s"
import -window root "$shots/completed.png"
[ -n "${TRIAL_DEBUG:-}" ] && xwininfo -root -children > "$shots/windows.txt"
press "$done_box" Return
results=$(wait_for 20 '^Repair Problems$') || fail "no results window"
echo "results window after $((SECONDS - start)) s"
[ $((SECONDS - start)) -le 60 ] || fail "the results came after more than a minute"
sleep 1
import -window root "$shots/results.png"
press "$results" Escape
sleep 1
xdotool search --onlyvisible --name '^Repair Problems$' >/dev/null 2>&1 && fail "the results window stayed open"
import -window root "$shots/main.png"
kill -0 "$program" 2>/dev/null || fail "the program ended with the results window"
echo "PASS: screenshots in $shots"
