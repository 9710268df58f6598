#!/bin/bash
# An update as a person meets it, under a real X server: the program is
# installed in a folder of its own beside its restarter; a local update
# server offers a build of the program stamped with a higher version. The
# main window's "Update" is clicked, "Available" shows and the question is
# answered Yes, the download window shows the transfer, the congratulation
# is confirmed, and the restarter ends the old program and starts the new
# one, whose window shows the new version. Screenshots of each step go to
# SHOTS.
#
# usage: update_trial.sh ORVANE RESTARTER ORVANE-CLI HTTP-SERVER-SCRIPT [SHOTS]
set -u
orvane=$(readlink -f "$1")
restarter=$(readlink -f "$2")
cli=$(readlink -f "$3")
http_server=$(readlink -f "$4")
shots=${5:-$PWD/update-trial-shots}
. "$(dirname "$(readlink -f "$0")")/trial_common.sh"
command -v objcopy >/dev/null || { echo "SKIP: objcopy is missing"; exit 77; }
trial_cleanup() {
  [ -n "${server_pid:-}" ] && kill "$server_pid" 2>/dev/null
  pkill -f "^$work/install/orvane( |$)" 2>/dev/null
}

# The installed program: the build's files in a folder the user owns.
mkdir -p "$work/install" "$work/www/downloads"
cp "$orvane" "$restarter" "$work/install/"
cp "$(dirname "$orvane")/Loading.gif" "$work/install/" 2>/dev/null
objcopy -O binary --only-section=.orvane_version "$orvane" "$work/old-block"
old_version=$(tr '\0' '\n' < "$work/old-block" | sed -n 's/^ProductVersion=//p')
[ -n "$old_version" ] || fail "the build carries no version block"
new_version=99.0.${old_version##*.}
# The new build: the same program stamped with a higher version.
printf 'ProductVersion=%s\nReleaseDate=2027-01-01\n' "$new_version" > "$work/block"
truncate -s 256 "$work/block"
objcopy --strip-debug --update-section .orvane_version="$work/block" "$orvane" "$work/www/downloads/orvane" ||
  fail "objcopy could not stamp the new build"
printf '%s' "$new_version" > "$work/www/Orvane_version.txt"
stat -c %s "$work/www/downloads/orvane" | tr -d '\n' > "$work/www/Orvane_appsize.txt"
(cd "$work/www/downloads" && sha256sum orvane > orvane.sha256)
echo steady > "$work/www/downloads/orvane.mode"  # slow enough to be seen
python3 "$http_server" "$work/www" > "$work/port" 2>"$work/server.log" &
server_pid=$!
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(head -1 "$work/port")
[ -n "$port" ] || fail "the update server did not start"

# The machine: the sample, with the update server set before the program
# reads its settings.
export WINEPREFIX=$work/no-prefix
sample=$("$cli" results 2>&1 | sed -n 's/.*using the SAMPLE machine at \(.*\)$/\1/p' | head -1)
[ -n "$sample" ] || fail "orvane-cli made no sample machine"
"$cli" --prefix "$sample" settings UpdateServer "http://127.0.0.1:$port" >"$work/settings.log" 2>&1 ||
  fail "the update server could not be set: $(cat "$work/settings.log")"
start=$SECONDS
"$work/install/orvane" --prefix "$sample" >"$work/first.log" 2>&1 &
program=$!
main=$(wait_for 30 '^Orvane Performance$') || fail "no window titled 'Orvane Performance'"
sleep 1
echo "main window after $((SECONDS - start)) s"
import -window root "$shots/1-main.png"

click "$main" 666 66  # "Update"
question=$(wait_for 20 '^Orvane$') || fail "no question about the new version"
sleep 0.5
import -window root "$shots/2-available.png"
press "$question" Return  # Yes
dialog=$(wait_for 20 '^Downloading$') || fail "no download window"
sleep 1.5
import -window root "$shots/3-downloading.png"
gone 120 '^Downloading$' || fail "the download window stayed"
done_box=$(wait_for 30 '^Orvane$') || fail "no congratulation"
sleep 0.5
import -window root "$shots/4-congratulation.png"
cmp -s "$work/install/orvane" "$work/www/downloads/orvane" || fail "the new program is not in place"
cmp -s "$work/install/orvane.bak" "$orvane" || fail "the old program was not kept as orvane.bak"
press "$done_box" Return

# The restarter ends the old program and starts the new one.
for _ in $(seq 300); do kill -0 "$program" 2>/dev/null || break; sleep 0.2; done
kill -0 "$program" 2>/dev/null && fail "the old program did not end"
wait "$program" 2>/dev/null
program=
gone 10 '^Orvane Performance$'
wait_for 30 '^Orvane Performance$' >/dev/null || fail "the new program did not start"
program=$(pgrep -f "^$work/install/orvane( |$)" | head -1)
[ -n "$program" ] || fail "no new program runs"
[ "$(readlink -f /proc/$program/exe)" = "$work/install/orvane" ] || fail "the program that runs is not the new one"
sleep 2
import -window root "$shots/5-restarted.png"
echo "new program $new_version runs after $((SECONDS - start)) s"
echo "PASS: screenshots in $shots"
