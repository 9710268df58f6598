#!/bin/bash
# The BackUp window as a person meets it, under a real X server: a prefix
# with junk files is repaired by orvane-cli (its set goes to the user's data
# folder, outside the prefix) and holds a set an older version left inside
# it; the window lists both with their kind, date and time, items and size.
# Delete asks first, naming the set's kind, date and time: "No" keeps the
# set, "Yes" deletes it. Screenshots go to SHOTS.
#
# usage: restore_trial.sh ORVANE ORVANE_CLI [SHOTS]
set -u
orvane=$(readlink -f "$1")
cli=$(readlink -f "$2")
shots=${3:-$PWD/restore-trial-shots}
. "$(dirname "$(readlink -f "$0")")/../app/trial_common.sh"
export XDG_DATA_HOME=$work/home/.local/share LC_ALL=C.UTF-8
prefix=$work/prefix

# A prefix as small as the program needs, with 300 junk files.
mkdir -p "$prefix/dosdevices" "$prefix/drive_c/windows/temp/trial" "$prefix/drive_c/users/${USER:-$(id -un)}/AppData/Roaming"
ln -sfn ../drive_c "$prefix/dosdevices/c:"
for hive in system.reg user.reg userdef.reg; do
  printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n' >"$prefix/$hive"
done
for i in $(seq 1 300); do head -c $((1000 + i * 37)) /dev/zero >"$prefix/drive_c/windows/temp/trial/setup$i.tmp"; done
# A set an older version wrote beside the program, one registry record.
old="$prefix/drive_c/Program Files/Orvane/backup"
mkdir -p "$old/20240105_0930_Registry"
printf '1::HKEY_CURRENT_USER::REG_SZ::Software\\Trial::ValueName=Old::C:\\old.exe::;;\r\n' |
  iconv -f UTF-8 -t UTF-16LE >"$old/20240105_0930_Registry.dat"

"$cli" --prefix "$prefix" --pace none scan --sections 13 >"$work/scan.log" 2>&1
"$cli" --prefix "$prefix" --pace none repair >"$work/repair.log" 2>&1 || fail "the repair failed: $(tail -n 2 "$work/repair.log")"
[ -z "$(ls -A "$prefix/drive_c/windows/temp")" ] || fail "the repair left junk in the prefix"
ls "$XDG_DATA_HOME"/orvane/machines/*/backup/*_Junk.dat >/dev/null 2>&1 || fail "no set in the data folder"
"$cli" --prefix "$prefix" backups list | tee "$work/list-before.txt"
[ "$(grep -c '^ *[0-9]' "$work/list-before.txt")" = 2 ] || fail "backups list does not show both sets"

"$orvane" --prefix "$prefix" >"$work/program.log" 2>&1 &
program=$!
main=$(wait_for 30 '^Orvane Performance$') || fail "no main window"
sleep 1
click "$main" 120 237  # "BackUp"
restore=$(wait_for 20 '^Restore Backups$') || fail "no restore window"
sleep 1
import -window root "$shots/restore-list.png"
click "$restore" 150 140  # the first set: the older one
sleep 0.5
click "$restore" 175 370  # "Delete"
box=$(wait_for 20 '^Orvane$') || fail "Delete asked nothing"
sleep 0.5
import -window root "$shots/delete-question.png"
press "$box" n  # "No"
gone 10 '^Orvane$' || fail "the question stayed"
"$cli" --prefix "$prefix" backups list >"$work/list-no.txt"
cmp -s "$work/list-before.txt" "$work/list-no.txt" || fail "No still deleted a set"
[ -f "$old/20240105_0930_Registry.dat" ] || fail "No still deleted the old set"

click "$restore" 150 140
sleep 0.5
click "$restore" 175 370
box=$(wait_for 20 '^Orvane$') || fail "Delete asked nothing the second time"
press "$box" y  # "Yes"
gone 10 '^Orvane$' || fail "the question stayed"
sleep 1
import -window root "$shots/after-delete.png"
[ -e "$old/20240105_0930_Registry.dat" ] && fail "Yes did not delete the old set"
[ "$("$cli" --prefix "$prefix" backups list | grep -c '^ *[0-9]')" = 1 ] || fail "Yes deleted other than one set"
press "$restore" Escape
gone 10 '^Restore Backups$' || fail "the restore window stayed"
echo "PASS: listed, asked, kept on No, deleted on Yes; screenshots in $shots"
