#!/bin/bash
# The support windows as a person meets them, under a real X server, with a
# real SOAP service (python3-spyne) on 127.0.0.1: the main window's
# right-click menu opens "Send Report", the form is filled in and sent, the
# service's log id is kept; then "Custom Solution" shows the staff's
# instructions for it. Screenshots of each step go to SHOTS.
#
# usage: support_trial.sh ORVANE ORVANE-CLI SUPPORT-SERVICE-SCRIPT [SHOTS]
set -u
orvane=$(readlink -f "$1")
cli=$(readlink -f "$2")
service=$(readlink -f "$3")
shots=${4:-$PWD/support-trial-shots}
. "$(dirname "$(readlink -f "$0")")/trial_common.sh"
/usr/bin/python3 -c "import spyne" 2>/dev/null || { echo "SKIP: python3-spyne is missing"; exit 77; }
trial_cleanup() { [ -n "${service_pid:-}" ] && kill "$service_pid" 2>/dev/null; }

/usr/bin/python3 "$service" "$work/requests.jsonl" > "$work/port" 2>"$work/service.log" &
service_pid=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(head -1 "$work/port")
[ -n "$port" ] || fail "the support service did not start: $(cat "$work/service.log")"

export WINEPREFIX=$work/no-prefix
sample=$("$cli" results 2>&1 | sed -n 's/.*using the SAMPLE machine at \(.*\)$/\1/p' | head -1)
[ -n "$sample" ] || fail "orvane-cli made no sample machine"
"$cli" --prefix "$sample" settings SupportService "http://127.0.0.1:$port" >"$work/settings.log" 2>&1 ||
  fail "the support service could not be set: $(cat "$work/settings.log")"
"$orvane" --prefix "$sample" >"$work/program.log" 2>&1 &
program=$!
main=$(wait_for 30 '^Orvane Performance$') || fail "no window titled 'Orvane Performance'"
sleep 1

menu() {  # the main window's right-click menu, entry N (from 1)
  eval "$(xdotool getwindowgeometry --shell "$main")"
  xdotool mousemove --sync $((X + 600)) $((Y + 500)) click 3
  sleep 0.5
  for _ in $(seq "$1"); do xdotool key Down; done
  xdotool key Return
}

menu 1
form=$(wait_for 20 '^Send Report$') || fail "no window titled 'Send Report'"
sleep 1
import -window root "$shots/1-send-report.png"
click "$form" 200 322
xdotool type --delay 20 "Ann Example"
xdotool key Tab
xdotool type --delay 20 "ann@example.org"
xdotool key Tab
xdotool type --delay 20 "The computer is slow since yesterday."
sleep 0.3
import -window root "$shots/2-filled-in.png"
click "$form" 356 454  # "Send Report"
answer=$(wait_for 20 '^Orvane$') || fail "no answer to the send"
sleep 0.5
import -window root "$shots/3-sent.png"
grep -q '"ReportComputerLog"\|ReportComputerLog' "$work/requests.jsonl" || fail "the service received no report"
press "$answer" Return
gone 20 '^Send Report$' || fail "the send-report window stayed after the report was accepted"
"$cli" --prefix "$sample" reg query 'HKLM\Software\Orvane' /v LogID 2>&1 | grep -q 0x2a ||
  fail "the log id 42 was not kept"

menu 2
solution=$(wait_for 20 '^Custom Solution$') || fail "no window titled 'Custom Solution'"
sleep 1
import -window root "$shots/4-custom-solution.png"
press "$solution" Escape
echo "PASS: screenshots in $shots"
