#!/bin/bash
# Start at login and the scheduled scans as a person meets them, under a real
# X server, on two machines of one user: the first interactive start asks
# whether Orvane starts at login and "No" writes no autostart entry; each
# machine's settings dialog shows its own schedule; saving the settings on
# machine A leaves machine B's timer as it was, and opening machine B leaves
# the autostart entry as it was. Screenshots of each step go to SHOTS.
#
# usage: settings_trial.sh ORVANE ORVANE-CLI [SHOTS]
set -u
orvane=$(readlink -f "$1")
cli=$(readlink -f "$2")
shots=${3:-$PWD/settings-trial-shots}
. "$(dirname "$(readlink -f "$0")")/trial_common.sh"

# This user has not been asked yet (trial_common answers for the others).
rm -f "$XDG_CONFIG_HOME/orvane/orvane.conf"
units=$XDG_CONFIG_HOME/systemd/user
entry=$XDG_CONFIG_HOME/autostart/orvane.desktop

# Two machines: the generated sample and a copy of it elsewhere.
export WINEPREFIX=$work/no-prefix
"$cli" --pace none results >"$work/sample.log" 2>&1
sample=$HOME/.cache/orvane/sample-prefix
[ -f "$sample/system.reg" ] || fail "no sample machine: $(cat "$work/sample.log")"
a=$work/machine-a
b=$work/machine-b
cp -a "$sample" "$a" && cp -a "$sample" "$b" || fail "the machines could not be made"
timer_of() { echo "$units/orvane-scan@$(systemd-escape --path "$(readlink -f "$1")").timer"; }

# The first interactive start asks, in a box captioned "Orvane".
"$orvane" --prefix "$a" >"$work/a.log" 2>&1 &
program=$!
question=$(wait_for 30 '^Orvane$') || fail "no first-start question"
sleep 1
import -window root "$shots/question.png"
press "$question" Escape  # No
gone 10 '^Orvane$' || fail "the question stayed"
main=$(wait_for 30 '^Orvane Performance$') || fail "no main window after the question"
[ -e "$entry" ] && fail "No wrote an autostart entry"
grep -qx 'StartWithWindows=false' "$XDG_CONFIG_HOME/orvane/orvane.conf" || fail "the answer was not kept"
find "$a/drive_c" -iname orvane.exe | grep -q . && fail "a program was written into the machine"

# Each machine gets its own schedule.
"$cli" --prefix "$a" schedule weekly 21:30 mon,fri >>"$work/cli.log" 2>&1 || fail "schedule A: $(cat "$work/cli.log")"
"$cli" --prefix "$b" schedule daily 06:00 >>"$work/cli.log" 2>&1 || fail "schedule B: $(cat "$work/cli.log")"
b_timer=$(timer_of "$b")
b_before=$(sha256sum <"$b_timer")

# A's settings: its own schedule; turn start at login on and save.
click "$main" 52 162
dialog=$(wait_for 20 '^Settings$') || fail "no settings window on machine A"
sleep 1
import -window root "$shots/settings-a.png"
click "$dialog" 136 106  # "Launch Orvane when Windows starts."
click "$dialog" 280 410  # Save
# The confirmation is a second window titled "Settings", above the dialog.
for _ in $(seq 100); do
  [ "$(xdotool search --onlyvisible --name '^Settings$' 2>/dev/null | wc -l)" -ge 2 ] && break
  sleep 0.2
done
sleep 1
import -window root "$shots/saved-a.png"
done_box=$(xdotool search --onlyvisible --name '^Settings$' | tail -1)
press "$done_box" Return
gone 10 '^Settings$' || fail "the settings window stayed after saving"
[ "$(sha256sum <"$b_timer")" = "$b_before" ] || fail "saving on machine A changed machine B's timer"
grep -q '^OnCalendar=Mon,Fri \*-\*-\* 21:30:00$' "$(timer_of "$a")" || fail "A's schedule is not its own"
[ -f "$entry" ] || fail "no autostart entry after turning it on"
grep -q -- '--prefix' "$entry" && fail "the autostart entry names a machine"
entry_before=$(sha256sum <"$entry")
a_before=$(sha256sum <"$(timer_of "$a")")
kill "$program" && wait "$program" 2>/dev/null
program=
gone 10 '^Orvane Performance$' || fail "machine A's window stayed"

# Machine B: no question, its own schedule, and the entry stays as it was.
"$orvane" --prefix "$b" >"$work/b.log" 2>&1 &
program=$!
main=$(wait_for 30 '^Orvane Performance$') || fail "no main window on machine B"
sleep 1
xdotool search --onlyvisible --name '^Orvane$' >/dev/null 2>&1 && fail "the question was asked again"
click "$main" 52 162
dialog=$(wait_for 20 '^Settings$') || fail "no settings window on machine B"
sleep 1
import -window root "$shots/settings-b.png"
press "$dialog" Escape
gone 10 '^Settings$' || fail "the settings window stayed after Escape"
[ "$(sha256sum <"$entry")" = "$entry_before" ] || fail "opening machine B changed the autostart entry"
[ "$(sha256sum <"$(timer_of "$a")")" = "$a_before" ] || fail "machine B changed machine A's timer"
"$cli" --prefix "$b" schedule --all >"$work/all.log" 2>&1 || fail "schedule --all: $(cat "$work/all.log")"
cat "$work/all.log"
echo "PASS: screenshots in $shots"
