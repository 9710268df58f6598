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
# Always on a server of its own, never on the desktop of whoever runs it.
if [ -z "${REPAIR_TRIAL_SERVER:-}" ]; then
  export REPAIR_TRIAL_SERVER=1
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$orvane" "$shots"
fi
mkdir -p "$shots"
work=$(mktemp -d)
program=
cleanup() {
  [ -n "$program" ] && kill "$program" 2>/dev/null && wait "$program" 2>/dev/null
  WINEPREFIX=$work/prefix "$server" -k 2>/dev/null
  if [ -n "${REPAIR_TRIAL_KEEP:-}" ]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
export XDG_RUNTIME_DIR=$work/run WINEPREFIX=$work/prefix
export WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= LC_ALL=C.UTF-8
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

fail() { echo "FAIL: $*"; import -window root "$shots/failure.png" 2>/dev/null; exit 1; }
wait_for() {  # SECONDS NAME-REGEX: prints the id of a mapped window so named
  local end=$((SECONDS + $1)) id
  while [ $SECONDS -lt $end ]; do
    id=$(xdotool search --onlyvisible --name "$2" 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  return 1
}
gone() {  # SECONDS NAME-REGEX: waits until no such window is mapped
  local end=$((SECONDS + $1))
  while [ $SECONDS -lt $end ]; do
    xdotool search --onlyvisible --name "$2" >/dev/null 2>&1 || return 0
    sleep 0.2
  done
  return 1
}
click() {  # WINDOW X Y: a real click at client position (X, Y) of WINDOW
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove --sync $((X + $2)) $((Y + $3)) click 1
}
press() {  # WINDOW KEY
  xdotool windowactivate --sync "$1" 2>/dev/null
  xdotool key "$2"
}
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
