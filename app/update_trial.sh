#!/bin/bash
# An update as a person meets it, under a real X server: the program is
# installed in a folder of its own beside its restarter; a local update
# server offers a build of the program stamped with a higher version, and
# the user's setting UpdateKey names the public key of a key pair made for
# the trial. First the release on the server is signed with another key:
# "Update" is clicked, "Available: VERSION" shows, the question is answered
# Yes, the download window shows the transfer, and the program refuses it
# with the reason, the old program untouched. Then the release is signed
# properly and the same is done again: the congratulation is confirmed, and
# the restarter ends the old program and starts the new one, whose window
# shows the new version. Screenshots of each step go to SHOTS.
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
command -v openssl >/dev/null || { echo "SKIP: openssl is missing"; exit 77; }
trial_cleanup() {
  [ -n "${server_pid:-}" ] && kill "$server_pid" 2>/dev/null
  # A program this trial installed may still run (the old one, renamed, or
  # the one the restarter started): found by its file, ended by its id.
  local exe
  for exe in /proc/[0-9]*/exe; do
    case "$(readlink "$exe" 2>/dev/null)" in
      "$work/install/orvane" | "$work/install/orvane.bak") kill "$(basename "$(dirname "$exe")")" 2>/dev/null ;;
    esac
  done
}

# The installed program: the build's files in a folder the user owns.
mkdir -p "$work/install" "$work/www/downloads"
cp "$orvane" "$restarter" "$work/install/"
cp "$(dirname "$orvane")/Loading.gif" "$work/install/" 2>/dev/null
objcopy -O binary --only-section=.orvane_version "$orvane" "$work/old-block"
old_version=$(tr '\0' '\n' < "$work/old-block" | sed -n 's/^ProductVersion=//p')
[ -n "$old_version" ] || fail "the build carries no version block"
new_version=99.0.${old_version##*.}
# The new build: the same program stamped with a higher version, signed
# as a release is (the trial's own key pair; a forger's for the first try).
printf 'ProductVersion=%s\nReleaseDate=2027-01-01\n' "$new_version" > "$work/block"
truncate -s 256 "$work/block"
release=$work/www/downloads/Orvane.exe
objcopy --strip-debug --update-section .orvane_version="$work/block" "$orvane" "$release" ||
  fail "objcopy could not stamp the new build"
for who in release forger; do
  openssl genpkey -algorithm ed25519 -out "$work/$who.pem" 2>/dev/null &&
    openssl pkey -in "$work/$who.pem" -pubout -out "$work/$who.pub" 2>/dev/null || fail "openssl made no key pair"
done
sign() { openssl pkeyutl -sign -rawin -inkey "$work/$1.pem" -in "$release" -out "$release.sig" || fail "cannot sign"; }
sign forger
printf '%s' "$new_version" > "$work/www/Orvane_version.txt"
stat -c %s "$release" | tr -d '\n' > "$work/www/Orvane_appsize.txt"
(cd "$work/www/downloads" && sha256sum Orvane.exe > Orvane.exe.sha256)
echo steady > "$release.mode"  # slow enough to be seen
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
"$cli" --prefix "$sample" settings UpdateKey "$work/release.pub" >"$work/settings.log" 2>&1 ||
  fail "the update key could not be set: $(cat "$work/settings.log")"
start=$SECONDS
"$work/install/orvane" --prefix "$sample" >"$work/first.log" 2>&1 &
program=$!
main=$(wait_for 30 '^Orvane Performance$') || fail "no window titled 'Orvane Performance'"
sleep 1
echo "main window after $((SECONDS - start)) s"
import -window root "$shots/1-main.png"

# The forged release: offered, downloaded, refused.
click "$main" 666 66  # "Update"
question=$(wait_for 20 '^Orvane$') || fail "no question about the new version"
sleep 0.5
import -window root "$shots/2-available.png"
press "$question" Return  # Yes
wait_for 20 '^Downloading$' >/dev/null || fail "no download window"
gone 120 '^Downloading$' || fail "the download window stayed"
refusal=$(wait_for 30 '^Orvane$') || fail "no word of the refused download"
sleep 0.5
import -window root "$shots/3-refused.png"
cmp -s "$work/install/orvane" "$orvane" || fail "the forged release changed the program"
[ -e "$work/install/orvane.bak" ] && fail "the forged release set the program aside"
press "$refusal" Return
gone 10 '^Orvane$' || fail "the refusal stayed"

# The release signed with the key the user trusts.
sign release
click "$main" 666 66  # "Update"
question=$(wait_for 20 '^Orvane$') || fail "no question about the new version"
sleep 0.5
press "$question" Return  # Yes
dialog=$(wait_for 20 '^Downloading$') || fail "no download window"
sleep 1.5
import -window root "$shots/4-downloading.png"
gone 120 '^Downloading$' || fail "the download window stayed"
done_box=$(wait_for 30 '^Orvane$') || fail "no congratulation"
sleep 0.5
import -window root "$shots/5-congratulation.png"
cmp -s "$work/install/orvane" "$release" || fail "the new program is not in place"
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
import -window root "$shots/6-restarted.png"
echo "new program $new_version runs after $((SECONDS - start)) s"
echo "PASS: screenshots in $shots"
