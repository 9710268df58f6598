#!/bin/bash
# A repair and its undoing, as a person does them, on a real Wine prefix
# under a real X server: "orvane -scan" finds the faults planted with
# `wine reg add`, the results window's "Repair Problems" is clicked, the
# repair runs and sums up, and `wine reg query` no longer finds the values;
# then the BackUp window restores the newest set and Wine finds them again.
# Screenshots of each window go to SHOTS. Exit 77 (skipped) without Wine.
#
# usage: repair_trial.sh ORVANE [SHOTS]
set -u
orvane=$(readlink -f "$1")
shots=${2:-$PWD/repair-trial-shots}
wine=
for candidate in /usr/lib/wine/wine64 /usr/bin/wine64 /usr/bin/wine; do
  [ -x "$candidate" ] && { wine=$candidate; break; }
done
server=
for candidate in /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver /usr/bin/wineserver; do
  [ -x "$candidate" ] && { server=$candidate; break; }
done
[ -n "$wine" ] && [ -n "$server" ] || { echo "SKIP: no Wine"; exit 77; }
. "$(dirname "$(readlink -f "$0")")/trial_common.sh"
trial_cleanup() { WINEPREFIX=$work/prefix "$server" -k 2>/dev/null; }
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= LC_ALL=C.UTF-8

ok_box() {  # SECONDS SHOT: acknowledges the next message box captioned "Orvane"
  local box
  box=$(wait_for "$1" '^Orvane$') || fail "no message box for $2"
  import -window root "$shots/$2.png"
  press "$box" Return
  gone 10 '^Orvane$' || fail "the message box for $2 stayed"
}
value() {  # KEY NAME: 0 when Wine finds the value
  "$wine" reg query "$1" /v "$2" >/dev/null 2>&1
  local rc=$?
  "$server" -w
  return $rc
}

run=HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run
user_run=HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run
echo "making the prefix with wineboot"
"$wine" wineboot --init >/dev/null 2>&1
"$server" -w
[ -f "$WINEPREFIX/system.reg" ] || fail "wineboot made no prefix"
"$wine" reg add "$run" /v TrialGone /d 'C:\gone\trialgone.exe' /f >/dev/null 2>&1
"$wine" reg add "$user_run" /v TrialAlsoGone /d 'C:\gone\also.exe' /f >/dev/null 2>&1
"$server" -w
value "$run" TrialGone || fail "the planted value is not there"

start=$SECONDS
"$orvane" -scan >"$work/first.log" 2>&1 &
program=$!
wait_for 30 '^Orvane Performance$' >/dev/null || fail "no main window"
wait_for 30 '^Scan in Progress$' >/dev/null || fail "no progress window"
ok_box 120 scan-completed
results=$(wait_for 20 '^Repair Problems$') || fail "no results window"
echo "results after $((SECONDS - start)) s"
sleep 1
import -window root "$shots/results.png"
click "$results" 430 420  # "Repair Problems"
repairing=$(wait_for 20 '^Repairing Errors$') || fail "no repair window"
sleep 2
import -window root "$shots/repairing.png"
ok_box 600 repair-completed
summary=$(wait_for 20 '^Repair results summary$') || fail "no summary"
sleep 1
import -window root "$shots/summary.png"
press "$summary" Escape
gone 10 '^Repair results summary$' || fail "the summary stayed"
echo "repaired after $((SECONDS - start)) s"
kill "$program"; wait "$program" 2>/dev/null; program=

value "$run" TrialGone && fail "Wine still finds the repaired value"
value "$user_run" TrialAlsoGone && fail "Wine still finds the repaired user value"
echo "wine reg query: the values are gone"

"$orvane" >"$work/second.log" 2>&1 &
program=$!
main=$(wait_for 30 '^Orvane Performance$') || fail "no main window the second time"
sleep 1
click "$main" 120 237  # "BackUp"
restore=$(wait_for 20 '^Restore Backups$') || fail "no restore window"
sleep 1
click "$restore" 150 140  # the first set in the list
sleep 0.5
import -window root "$shots/restore.png"
click "$restore" 275 370  # "Restore"
ok_box 60 restored
press "$restore" Escape
gone 10 '^Restore Backups$' || fail "the restore window stayed"
import -window root "$shots/main-after.png"
kill "$program"; wait "$program" 2>/dev/null; program=

value "$run" TrialGone || fail "Wine does not find the restored value"
value "$user_run" TrialAlsoGone || fail "Wine does not find the restored user value"
echo "PASS: restored; screenshots in $shots"
