#!/usr/bin/env bash
# Kill trials: shows that a repair or a restore killed with SIGKILL at a
# random moment never loses data and never leaves a registry Wine cannot read.
#
# One template Wine prefix is made with real Wine (wineboot) and given a few
# dozen registry faults and some junk files that the scans find. Each trial
# copies it, records the "before" state (the scanned keys as orvane-cli
# reg query shows them, and drive_c with checksums), scans, then kills, after
# a random delay, a paced "repair" (a second a record: each record on its
# own), an unpaced one (records in batches, one flush of their lines each),
# or "backups restore" after a complete repair, in turn. It then checks that:
#   1. every hive still starts and ends as Wine writes it, and Wine itself
#      reads HKCU and HKLM; no temporary file is left once orvane-cli has run
#      again (and none after the restores);
#   2. everything gone from the registry or from drive_c is in a backup set
#      (registry values with their type and data, files with a complete copy);
#      the sets live outside the prefix, in $XDG_DATA_HOME/orvane/machines/,
#      where the repair moves the files it removes;
#   3. restoring every set ("backups restore 1" until none is left) brings
#      the scanned keys and drive_c back exactly to the "before" state.
# A control run without a kill comes first, so that a fault that has nothing
# to do with kills is told apart from one that has.
#
# Usage (from the repository root):
#   bench/kill_trials.sh [--cli PATH] [--trials N] [--work DIR] [--seed N] [--keep]
# or with the environment: ORVANE_CLI, TRIALS (default 20), WORK_DIR
# (default a fresh mktemp -d, removed at the end unless --keep), SEED.
# Prints one line per trial and "N passed, M failed"; exits 1 when a trial
# failed, 2 when the setup failed. The evidence of failures goes to stderr.
# Needs wine (wine64) and python3; uses no network. Expect under a minute a
# trial (20 trials: about 15 minutes): a paced repair takes a second a record.

set -u -o pipefail

REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
CLI=${ORVANE_CLI:-$REPO_ROOT/build/cli/orvane-cli}
TRIALS=${TRIALS:-20}
WORK=${WORK_DIR:-}
SEED=${SEED:-}
KEEP=0
CMD_TIMEOUT=120     # any single orvane-cli or wine command
BOOT_TIMEOUT=600    # wineboot --init

usage() { sed -n '2,/^$/s/^# \{0,1\}//p' "$0"; exit 2; }

while [ $# -gt 0 ]; do
  case $1 in
    --cli) CLI=$2; shift 2 ;;
    --trials) TRIALS=$2; shift 2 ;;
    --work) WORK=$2; shift 2 ;;
    --seed) SEED=$2; shift 2 ;;
    --keep) KEEP=1; shift ;;
    -h|--help) usage ;;
    *) echo "kill_trials: unknown argument $1" >&2; usage ;;
  esac
done

die() { echo "kill_trials: $*" >&2; exit 2; }
note() { echo "  $*" >&2; }

# ---------------------------------------------------------------- setup

find_tools() {
  [ -x "$CLI" ] || die "no orvane-cli at $CLI (--cli PATH)"
  CLI=$(cd "$(dirname "$CLI")" && pwd)/$(basename "$CLI")
  WINE=$(command -v wine || command -v wine64 || ls /usr/lib/wine/wine64 /usr/lib/wine/wine \
         /usr/lib/x86_64-linux-gnu/wine/wine64 2>/dev/null | head -n1)
  WINESERVER=$(command -v wineserver || ls /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver \
               /usr/lib/x86_64-linux-gnu/wine/wineserver 2>/dev/null | head -n1)
  [ -n "$WINE" ] && [ -x "$WINE" ] || die "wine is not installed (apt-get install wine64)"
  [ -n "$WINESERVER" ] && [ -x "$WINESERVER" ] || die "no wineserver found"
  command -v python3 >/dev/null || die "python3 is needed"
}

make_work() {
  OWN_WORK=0
  if [ -z "$WORK" ]; then
    WORK=$(mktemp -d "${TMPDIR:-/tmp}/kill_trials.XXXXXX") || die "mktemp failed"
    OWN_WORK=1
  else
    mkdir -p "$WORK" || die "cannot create $WORK"
    WORK=$(cd "$WORK" && pwd)
  fi
  # Wine and orvane-cli see a home inside the work folder: the prefix's
  # Desktop links, the recycle bin and any cache stay in here.
  mkdir -p "$WORK/home"
  export HOME=$WORK/home XDG_DATA_HOME=$WORK/home/.local/share
  export XDG_CACHE_HOME=$WORK/home/.cache XDG_CONFIG_HOME=$WORK/home/.config
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
  unset DISPLAY WAYLAND_DISPLAY WINEPREFIX
  HELPER=$WORK/kill_trials_helper.py
  write_helper
}

cleanup() {
  local p
  for p in "$WORK"/template "$WORK"/control "$WORK"/trial-*; do
    [ -d "$p" ] && stop_server "$p"
  done
  if [ "$KEEP" = 1 ]; then
    echo "work folder kept: $WORK" >&2
  elif [ "$OWN_WORK" = 1 ]; then
    rm -rf "$WORK"
  else  # a folder we were given: only what we put there
    rm -rf "$WORK"/template "$WORK"/template.hashes "$WORK"/control* "$WORK"/trial-* "$WORK"/home "$HELPER"
  fi
}

# ---------------------------------------------------------------- commands

orv() {  # orv PREFIX ARGS...: orvane-cli on PREFIX with the pauses skipped
  local p=$1; shift
  timeout "$CMD_TIMEOUT" "$CLI" --prefix "$p" --pace none "$@"
}

wine_in() {  # wine_in PREFIX ARGS...
  local p=$1; shift
  WINEPREFIX=$p timeout "$CMD_TIMEOUT" "$WINE" "$@"
}

wait_server() { WINEPREFIX=$1 timeout "$CMD_TIMEOUT" "$WINESERVER" -w; }
stop_server() { WINEPREFIX=$1 timeout 30 "$WINESERVER" -k >/dev/null 2>&1; true; }

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
# Sets MS to a random number of milliseconds in 0..$1. It runs in the main
# shell, never in $( ), so that SEED repeats the same trials.
pick_ms() { MS=$(( (RANDOM * 32768 + RANDOM) % ($1 + 1) )); }
seconds() { printf '%d.%03d' $(( $1 / 1000 )) $(( $1 % 1000 )); }

# The Windows path of a folder variable (TEMP, USERPROFILE) made a host path.
host_folder() {
  local p=$1 name=$2 win
  win=$(orv "$p" info | sed -n "s/^ *%$name% = //p" | head -n1)
  [ -n "$win" ] || return 1
  printf '%s/drive_c%s\n' "$p" "$(printf '%s' "${win:2}" | tr '\\' '/')"
}

# ---------------------------------------------------------------- the faults

# KEY|VALUE|TYPE|DATA, "@" for the default value. Values marked "kept" in
# their comment are not findings and must simply stay.
registry_faults() {
  local ap='HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths'
  local un='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
  local cu='HKCU\Software\Microsoft\Windows\CurrentVersion'
  local lm='HKLM\Software\Microsoft\Windows\CurrentVersion'
  cat <<EOF
$ap\\ghostpad.exe|@|REG_SZ|C:\\Program Files\\Ghost Pad\\ghostpad.exe
$ap\\ghostpad.exe|Path|REG_SZ|C:\\Program Files\\Ghost Pad
$ap\\phantom.exe|@|REG_EXPAND_SZ|%ProgramFiles%\\Phantom\\phantom.exe
$ap\\spectre.exe|@|REG_SZ|"C:\\Spectre Suite\\spectre.exe"
HKCU\\Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache|C:\\Program Files\\Ghost Pad\\ghostpad.exe|REG_SZ|Ghost Pad
HKCU\\Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache|C:\\Tools\\wraith.exe|REG_SZ|Wraith
HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Compatibility Assistant\\Persisted|C:\\Games\\Banshee\\banshee.exe|REG_BINARY|5341434200ff0010
HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Compatibility Assistant\\Persisted|C:\\Games\\poltergeist.exe|REG_DWORD|1
HKCU\\AppEvents\\Schemes\\Apps\\GhostPad\\Notify\\.Current|@|REG_SZ|C:\\Program Files\\Ghost Pad\\Sounds\\notify.wav
HKCU\\AppEvents\\Schemes\\Apps\\GhostPad\\Close\\.Current|@|REG_EXPAND_SZ|%ProgramFiles%\\Ghost Pad\\Sounds\\close.wav
HKLM\\Software\\Microsoft\\Windows\\Help|ghostpad.chm|REG_SZ|C:\\Program Files\\Ghost Pad\\Help\\ghostpad.chm
HKLM\\Software\\Microsoft\\Windows\\Help|phantom.chm|REG_SZ|C:\\Program Files\\Phantom\\phantom.chm
HKLM\\Software\\Microsoft\\Windows\\HTML Help|spectre.chm|REG_SZ|C:\\Spectre Suite\\Docs\\spectre.chm
$lm\\Run|GhostPadTray|REG_SZ|C:\\Program Files\\Ghost Pad\\tray.exe
$lm\\Run|PhantomUpdate|REG_EXPAND_SZ|%ProgramFiles%\\Phantom\\update.exe
$cu\\Run|Ghost|REG_SZ|C:\\missing\\ghost.exe
$cu\\Run|Wraith Helper|REG_SZ|"C:\\Tools\\Wraith\\helper.exe"
$cu\\Run|Gespenst-Größe|REG_SZ|C:\\Programme\\Größe\\gespenst.exe
HKLM\\Software\\Microsoft\\MMC\\SnapIns\\{6f1e6c2a-0b0e-4c3e-9a51-6a3c1c0f7e01}|HelpTopic|REG_SZ|C:\\windows\\Help\\ghostsnap.chm
HKLM\\Software\\Microsoft\\MMC\\SnapIns\\{6f1e6c2a-0b0e-4c3e-9a51-6a3c1c0f7e01}|ModuleFile|REG_SZ|C:\\Program Files\\Ghost Pad\\snapin.dll
$lm\\SharedDLLs|C:\\Program Files\\Common Files\\Ghost\\ghostcore.dll|REG_DWORD|1
$lm\\SharedDLLs|C:\\windows\\system32\\phantom32.dll|REG_DWORD|3
$lm\\SharedDLLs|C:\\Program Files\\Ghost Pad\\gp.dll|REG_DWORD|4294967295
HKLM\\SYSTEM\\CurrentControlSet\\Services\\SessionLauncher\\Ghost|ImagePath|REG_EXPAND_SZ|%SystemRoot%\\system32\\ghostlaunch.exe
$un\\GhostPad|DisplayName|REG_SZ|Ghost Pad
$un\\GhostPad|DisplayIcon|REG_SZ|C:\\Program Files\\Ghost Pad\\ghostpad.exe
$un\\GhostPad|UninstallString|REG_SZ|C:\\Program Files\\Ghost Pad\\uninstall.exe
$un\\{0A1B2C3D-1111-2222-3333-444455556666}|UninstallString|REG_SZ|MsiExec.exe /X{0A1B2C3D-1111-2222-3333-444455556666}
$un\\Phantom|DisplayIcon|REG_SZ|C:\\Program Files\\Phantom\\phantom.exe
HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts|Ghost Sans (TrueType)|REG_SZ|C:\\Program Files\\Ghost Pad\\Fonts\\ghostsans.ttf
HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts|Phantom Mono (TrueType)|REG_SZ|C:\\windows\\Fonts\\phantommono.ttf
$cu\\Explorer\\RunMRU|a|REG_SZ|ghostpad\\1
$cu\\Explorer\\RunMRU|b|REG_SZ|cmd /c echo a::b\\1
$cu\\Explorer\\RunMRU|MRUList|REG_SZ|ba
$cu\\Explorer\\RecentDocs|0|REG_BINARY|670068006f00730074002e00740078007400000000
$cu\\Explorer\\RecentDocs|MRUListEx|REG_BINARY|00000000ffffffff
$cu\\Explorer\\RecentDocs|Archive|REG_MULTI_SZ|C:\\users\\Public\\Documents\\old.txt\\0C:\\users\\Public\\Documents\\older.txt
$cu\\Applets\\Wordpad\\Recent File List|File1|REG_SZ|C:\\users\\Public\\Documents\\ghost notes.txt
$cu\\Applets\\Paint\\Recent File List|File1|REG_EXPAND_SZ|%USERPROFILE%\\Pictures\\ghost.bmp
HKCU\\Software\\Microsoft\\MediaPlayer\\Player\\RecentURLList|URL0|REG_SZ|http://media.example.invalid/ghost.asx
HKCR\\CLSID\\{5A1E0B7C-3D2F-4E6A-8B9C-0D1E2F3A4B5C}|@|REG_SZ|Ghost Pad Control
HKCR\\CLSID\\{5A1E0B7C-3D2F-4E6A-8B9C-0D1E2F3A4B5C}|AppID|REG_SZ|{5A1E0B7C-0000-4E6A-8B9C-0D1E2F3A4B5C}
HKCR\\CLSID\\{7C2D4E6F-8A9B-4C1D-9E2F-3A4B5C6D7E8F}\\TypeLib|@|REG_SZ|{7C2D4E6F-0000-4C1D-9E2F-3A4B5C6D7E8F}
EOF
}

# The keys the registry sections look at: the part of the registry a repair
# may change, and so the part compared before and after.
scanned_keys() {
  local cu='HKCU\Software\Microsoft\Windows\CurrentVersion'
  local lm='HKLM\Software\Microsoft\Windows\CurrentVersion'
  cat <<EOF
HKCR\\CLSID\\{5A1E0B7C-3D2F-4E6A-8B9C-0D1E2F3A4B5C}
HKCR\\CLSID\\{7C2D4E6F-8A9B-4C1D-9E2F-3A4B5C6D7E8F}
$lm\\App Paths
HKCU\\Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache
HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Compatibility Assistant\\Persisted
HKCU\\AppEvents\\Schemes\\Apps
HKLM\\Software\\Microsoft\\Windows\\Help
HKLM\\Software\\Microsoft\\Windows\\HTML Help
$lm\\Run
$cu\\Run
HKLM\\Software\\Microsoft\\MMC\\SnapIns
$lm\\SharedDLLs
HKLM\\SYSTEM\\CurrentControlSet\\Services\\SessionLauncher
$lm\\Uninstall
HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts
$cu\\Explorer\\RunMRU
$cu\\Explorer\\RecentDocs
HKCU\\Software\\Microsoft\\Search Assistant\\ACMru
$cu\\Applets
$cu\\Explorer\\ComDlg32\\LastVisitedMRU
$cu\\Explorer\\Wallpaper\\MRU
HKCU\\Software\\Microsoft\\MediaPlayer\\Player
EOF
}

plant_registry() {
  local p=$1 key name type data out
  while IFS='|' read -r key name type data; do
    local which=(/v "$name")
    [ "$name" = "@" ] && which=(/ve)
    out=$(orv "$p" reg add "$key" "${which[@]}" /t "$type" /d "$data" /f 2>&1) ||
      die "could not plant $key\\$name: $out"
  done < <(registry_faults)
}

# Junk for section 15 in the user's Temp folder (files of several sizes, a
# read-only one, a non-ASCII name, nested and empty folders) and two
# shortcuts to missing programs for section 11.
plant_files() {
  local p=$1 temp profile
  temp=$(host_folder "$p" TEMP) && profile=$(host_folder "$p" USERPROFILE) ||
    die "orvane-cli info names no TEMP or USERPROFILE"
  mkdir -p "$temp/GhostPad-Update/logs" "$temp/EmptyFolder"
  printf 'Ghost Pad setup started\r\nstep 1 of 3\r\n' >"$temp/ghost-setup.log"
  head -c 65536 /dev/urandom >"$temp/~DF1A2B.tmp"
  head -c 3145728 /dev/urandom >"$temp/phantom_cache.bin"
  printf 'do not delete me by hand\n' >"$temp/read-only note.txt"
  chmod 444 "$temp/read-only note.txt"
  head -c 4000 /dev/urandom >"$temp/Größe.dat"
  : >"$temp/zero.tmp"
  head -c 1048576 /dev/urandom >"$temp/GhostPad-Update/part1.cab"
  printf '<manifest version="2.1"/>\n' >"$temp/GhostPad-Update/manifest.xml"
  printf 'update failed\n' >"$temp/GhostPad-Update/logs/update.log"
  mkdir -p "$profile/Favorites" "$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
  python3 "$HELPER" mklnk "$profile/Favorites/Ghost Pad.lnk" 'C:\Program Files\Ghost Pad\ghostpad.exe'
  python3 "$HELPER" mklnk "$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Phantom.lnk" \
    'C:\Program Files\Phantom\phantom.exe'
}

build_template() {
  local t=$WORK/template out
  echo "building the template prefix with $WINE ..." >&2
  out=$(WINEPREFIX=$t timeout "$BOOT_TIMEOUT" "$WINE" wineboot --init 2>&1) ||
    die "wineboot --init failed: $(tail -n 5 <<<"$out")"
  wait_server "$t" || die "the template's wineserver did not end"
  plant_registry "$t"
  plant_files "$t"
  python3 "$HELPER" listing "$t/drive_c" --write-cache "$WORK/template.hashes" >/dev/null
}

# ---------------------------------------------------------------- state

fresh_prefix() {  # fresh_prefix DIR: a copy of the template, with a ctime mark
  [ -d "$1" ] && remove_state "$1"
  rm -rf "$1"
  cp -a "$WORK/template" "$1" || return 1
  sleep 0.05
  : >"$1.mark"  # files changed after this are hashed again
}

snapshot() {  # snapshot PREFIX OUTDIR: the scanned keys and drive_c
  local p=$1 d=$2 key
  mkdir -p "$d"
  while read -r key; do
    orv "$p" reg query "$key" /s 2>/dev/null || echo "ABSENT $key"
  done < <(scanned_keys) >"$d/registry.txt"
  python3 "$HELPER" listing "$p/drive_c" --cache "$WORK/template.hashes" --since "$p.mark" \
    >"$d/files.txt"
}

# One scan of the registry sections and the temp files: a second scan would
# replace the findings of the first.
scan() {  # scan PREFIX LOG: prints the number of findings
  local p=$1 log=$2
  orv "$p" scan --sections 0-12,15 >"$log" 2>&1
  [ $? -le 1 ] || return 1
  sed -n 's/^Scan completed: \([0-9]*\) found.*/\1/p' "$log"
}

backup_count() { orv "$1" backups list 2>/dev/null | grep -c '^[0-9]'; }

# The program's own folders about a prefix (its backups), outside it; gone
# with the prefix at the end of a trial, so a work folder used again starts
# clean.
remove_state() { python3 "$HELPER" statedirs "$1" | while read -r dir; do rm -rf "$dir"; done; }

# Beside the files they were to replace, or in the prefix's own folder of
# temporaries.
leftover_temporaries() {
  { find "$1" -name '*.orvane-*.tmp'; find "$1/.orvane-tmp" -type f; } 2>/dev/null | sed "s|^$1/||"
}

# ---------------------------------------------------------------- checks
# Each check prints its complaints (one a line) and fails when it has any.

check_hives() {
  local p=$1 hive root out bad=0
  for hive in system.reg user.reg userdef.reg; do
    if [ "$(head -n1 "$p/$hive" | tr -d '\r')" != "WINE REGISTRY Version 2" ]; then
      echo "$hive: first line is '$(head -c 60 "$p/$hive" | head -n1)'"; bad=1
    elif [ -n "$(tail -c1 "$p/$hive")" ]; then
      echo "$hive: does not end with a full line (cut short?)"; bad=1
    fi
  done
  for root in 'HKCU\Software' 'HKLM\Software'; do
    out=$(wine_in "$p" reg query "$root" 2>&1 >/dev/null) ||
      { echo "wine reg query '$root' failed: $(tail -n 3 <<<"$out")"; bad=1; }
  done
  wait_server "$p" || { echo "wineserver -w did not return"; stop_server "$p"; bad=1; }
  return $bad
}

check_no_temporaries() {  # check_no_temporaries PREFIX WHEN
  local left
  left=$(leftover_temporaries "$1")
  [ -z "$left" ] && return 0
  echo "temporary files left $2: $(tr '\n' ' ' <<<"$left")"
  return 1
}

check_coverage() {  # check_coverage PREFIX BEFORE_DIR AFTER_DIR
  python3 "$HELPER" coverage "$2" "$3" "$1"
}

check_same_state() {  # check_same_state BEFORE_DIR AFTER_DIR
  python3 "$HELPER" compare "$1" "$2"
}

# Restores the oldest set until none is left; fails on the first restore
# that does not succeed.
restore_all() {
  local p=$1 log=$2 left rounds=0 out
  while left=$(backup_count "$p") && [ "$left" -gt 0 ]; do
    rounds=$((rounds + 1))
    if [ $rounds -gt 12 ]; then echo "still $left backup sets after 12 restores"; return 1; fi
    out=$(orv "$p" backups restore 1 2>&1)
    local rc=$?
    printf '%s\n' "$out" >>"$log"
    if [ $rc -ne 0 ]; then
      echo "'backups restore 1' (set $rounds) exited $rc: $(tr '\n' '|' <<<"$out")"
      return 1
    fi
  done
}

# ---------------------------------------------------------------- kills

# Runs orvane-cli in the background and SIGKILLs it after DELAY_MS unless
# it ended before. Sets KILLED (1 or 0) and RC.
run_and_kill() {  # run_and_kill DELAY_MS LOG ARGS...
  local delay=$1 log=$2; shift 2
  "$CLI" "$@" >"$log" 2>&1 &
  local pid=$!
  sleep "$(seconds "$delay")"
  KILLED=0
  if kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null; then KILLED=1; fi
  wait "$pid" 2>/dev/null; RC=$?
  # A process that ended on its own in the same instant did not die of the kill.
  [ $KILLED = 1 ] && [ $RC -ne 137 ] && KILLED=0
}

# Kills a paced repair somewhere in its expected run (a second a record and
# the pauses around them). Sets WHERE.
kill_repair() {  # kill_repair PREFIX DIR RECORDS PACE
  local p=$1 d=$2 records=$3 pace=$4 begun
  if [ "$pace" = spec ]; then pick_ms $(( (records + 2) * 1000 )); else pick_ms "${REPAIR_MS:-300}"; fi
  run_and_kill "$MS" "$d/repair.log" --prefix "$p" --pace "$pace" repair
  begun=$(grep -c '^  ' "$d/repair.log")
  if [ $KILLED = 1 ]; then
    WHERE="$pace-paced repair killed at $(seconds "$MS")s (in record $begun of $records)"
  else
    WHERE="$pace-paced repair ended before the kill at $(seconds "$MS")s (exit $RC)"
  fi
}

# Repairs everything, restores a random number of the sets, and kills the
# restore of the next one within the time the control run took for it.
# Sets WHERE; fails when there was nothing to restore.
kill_restore() {  # kill_restore PREFIX DIR
  local p=$1 d=$2 sets which i out
  out=$(orv "$p" repair 2>&1)
  [ $? -le 1 ] || { WHERE="the repair before the restore failed: $(tail -n 2 <<<"$out" | tr '\n' '|')"; return 1; }
  sets=$(backup_count "$p")
  [ "$sets" -gt 0 ] || { WHERE="the repair made no backup set"; return 1; }
  which=$(( RANDOM % sets + 1 ))
  for ((i = 1; i < which; i++)); do
    out=$(orv "$p" backups restore 1 2>&1) && continue
    echo "'backups restore 1' of set $i, before the kill, failed: $(tr '\n' '|' <<<"$out")" >>"$d/problems"
    which=$i  # that set stays the oldest: the kill hits its restore again
    break
  done
  pick_ms "${RESTORE_MS[$((which - 1))]:-300}"
  run_and_kill "$MS" "$d/killed-restore.log" --prefix "$p" --pace none backups restore 1
  if [ $KILLED = 1 ]; then
    WHERE="restore of set $which of $sets killed at $(seconds "$MS")s"
  else
    WHERE="restore of set $which of $sets ended before the kill at $(seconds "$MS")s (exit $RC)"
  fi
}

# ---------------------------------------------------------------- trials

# The checks after a kill, shared by both kinds of trial. Complaints go to
# DIR/problems.
check_after_kill() {  # check_after_kill PREFIX DIR
  local p=$1 d=$2
  {
    check_hives "$p"
    snapshot "$p" "$d/killed"
    orv "$p" backups list >/dev/null 2>&1 || echo "'backups list' failed after the kill"
    check_no_temporaries "$p" "after the next orvane-cli runs (reg query, backups list)"
    check_coverage "$p" "$d/before" "$d/killed"
    restore_all "$p" "$d/restore.log"
    check_no_temporaries "$p" "after the restores"
    snapshot "$p" "$d/after"
    check_same_state "$d/before" "$d/after"
  } >>"$d/problems" 2>&1
}

run_trial() {  # run_trial NUMBER KIND
  local n=$1 kind=$2 p=$WORK/trial-$1 d=$WORK/trial-$1.d records
  WHERE="not started"
  rm -rf "$d"; mkdir -p "$d"; : >"$d/problems"
  if ! fresh_prefix "$p"; then
    echo "could not copy the template" >"$d/problems"
  else
    snapshot "$p" "$d/before"
    if ! records=$(scan "$p" "$d/scan.log") || [ -z "$records" ]; then
      echo "the scan failed: $(tail -n 3 "$d/scan.log" | tr '\n' '|')" >>"$d/problems"
    else
      case $kind in
        repair) kill_repair "$p" "$d" "$records" spec ;;
        fast) kill_repair "$p" "$d" "$records" none ;;
        *) kill_restore "$p" "$d" || echo "$WHERE" >>"$d/problems" ;;
      esac
      check_after_kill "$p" "$d"
    fi
  fi
  report_trial "$n" "$WHERE" "$d/problems"
  local failed=$?
  stop_server "$p"
  remove_state "$p"
  rm -rf "$p" "$p.mark"
  [ "$KEEP" = 1 ] || rm -rf "$d"
  return $failed
}

report_trial() {  # report_trial NUMBER WHERE PROBLEMS_FILE
  if [ -s "$3" ]; then
    echo "trial $1: $2: FAIL"
    echo "trial $1 ($2) failed:" >&2
    sed 's/^/    /' "$3" >&2
    return 1
  fi
  echo "trial $1: $2: pass"
}

# A full repair and restore without a kill; also times each restore, so the
# restore trials know how long the one they kill takes.
control_run() {
  local p=$WORK/control d=$WORK/control.d records t0 out
  mkdir -p "$d"; : >"$d/problems"
  fresh_prefix "$p" || die "could not copy the template"
  snapshot "$p" "$d/before"
  records=$(scan "$p" "$d/scan.log") || die "the scan failed: $(tail -n 3 "$d/scan.log")"
  echo "the scan finds $records records" >&2
  t0=$(now_ms)
  out=$(orv "$p" repair 2>&1)
  REPAIR_MS=$(( $(now_ms) - t0 ))
  [ $? -le 1 ] || echo "repair failed: $(tail -n 3 <<<"$out" | tr '\n' '|')" >>"$d/problems"
  RESTORE_MS=()
  {
    check_hives "$p"
    snapshot "$p" "$d/repaired"
    check_coverage "$p" "$d/before" "$d/repaired"
    while [ "$(backup_count "$p")" -gt 0 ] && [ ${#RESTORE_MS[@]} -lt 12 ]; do
      t0=$(now_ms)
      out=$(orv "$p" backups restore 1 2>&1) ||
        { echo "'backups restore 1' failed: $(tr '\n' '|' <<<"$out")"; break; }
      RESTORE_MS+=( $(( $(now_ms) - t0 )) )
    done
    check_no_temporaries "$p" "after the control run"
    snapshot "$p" "$d/after"
    check_same_state "$d/before" "$d/after"
  } >>"$d/problems" 2>&1
  echo "an unpaced repair takes $REPAIR_MS ms; restores take ${RESTORE_MS[*]:-?} ms" >&2
  if [ -s "$d/problems" ]; then
    echo "control (no kill): FAIL"
    echo "control (no kill) failed:" >&2
    sed 's/^/    /' "$d/problems" >&2
  else
    echo "control (no kill): pass"
  fi
  stop_server "$p"; remove_state "$p"; rm -rf "$p" "$p.mark"
}

# ---------------------------------------------------------------- helper

write_helper() {
  cat >"$HELPER" <<'PY'
"""Helpers of kill_trials.sh: drive_c listings, backup-set coverage, state
comparison and a minimal shell link writer."""
import hashlib, os, re, struct, sys

EXCLUDED = [re.compile(r"^program files/orvane(/|$)", re.I),
            re.compile(r"^users/[^/]+/appdata/roaming/orvane(/|$)", re.I)]
VALUE = re.compile(r"^    (.*?)    (REG_[A-Z_0-9]+)(?:    (.*))?$")
TYPES = {0: "REG_NONE", 1: "REG_SZ", 2: "REG_EXPAND_SZ", 3: "REG_BINARY", 4: "REG_DWORD",
         5: "REG_DWORD_BIG_ENDIAN", 7: "REG_MULTI_SZ", 11: "REG_QWORD"}
ROOTS = {"HKEY_CLASSES_ROOT": "HKEY_LOCAL_MACHINE\\SOFTWARE\\CLASSES"}


def sha256(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


def listing(drive_c, cache=None, since=None, write_cache=None):
    """relpath -> "kind size hash" for everything under drive_c, links not
    followed. A file unchanged since the mark reuses the template's hash."""
    known, mark = {}, None
    if cache:
        with open(cache, encoding="utf-8", errors="surrogateescape") as f:
            for line in f:
                rel, size, mtime, digest = line.rstrip("\n").split("\t")
                known[rel] = (int(size), int(mtime), digest)
        mark = os.stat(since).st_ctime_ns
    out, fresh = {}, []
    for top, dirs, files in os.walk(drive_c):
        for name in sorted(dirs + files):
            full = os.path.join(top, name)
            rel = os.path.relpath(full, drive_c)
            if any(x.match(rel) for x in EXCLUDED):
                continue
            st = os.lstat(full)
            if os.path.islink(full):
                out[rel] = "link -> " + os.readlink(full)
            elif os.path.isdir(full):
                out[rel] = "dir"
            else:
                k = known.get(rel)
                if k and mark and st.st_ctime_ns < mark and k[:2] == (st.st_size, st.st_mtime_ns):
                    digest = k[2]
                else:
                    digest = sha256(full)
                out[rel] = "file %d %s" % (st.st_size, digest)
                fresh.append((rel, st.st_size, st.st_mtime_ns, digest))
    if write_cache:
        with open(write_cache, "w", encoding="utf-8", errors="surrogateescape") as f:
            for rel, size, mtime, digest in fresh:
                f.write("%s\t%d\t%d\t%s\n" % (rel, size, mtime, digest))
    return out


def read_listing(path):
    entries = {}
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        for line in f:
            rel, _, what = line.rstrip("\n").partition("\t")
            entries[rel] = what
    return entries


def norm_key(key):
    root, _, rest = key.partition("\\")
    root = ROOTS.get(root.upper(), root.upper())
    return (root + "\\" + rest).upper().rstrip("\\") if rest else root


def read_registry(path):
    """(normalised key, lower value name) -> (shown name, type, data); and
    the set of keys present."""
    values, keys, key = {}, set(), None
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line.startswith("ABSENT "):
                continue
            if not line.startswith("    "):
                key = line
                keys.add(norm_key(key))
                continue
            m = VALUE.match(line)
            if not m:
                values[(norm_key(key), "?" + line)] = (line, "?", "")
                continue
            name = "" if m.group(1) == "(Default)" else m.group(1)
            values[(norm_key(key), name.lower())] = (key + "\\" + (name or "(Default)"),
                                                     m.group(2), m.group(3) or "")
    return values, keys


def shown_data(type_id, data):
    """Bytes as orvane-cli reg query shows them."""
    if type_id in (1, 2):
        s = data.decode("utf-16-le", "surrogatepass")
        return s[:-1] if s.endswith("\0") else s
    if type_id == 7:
        return data.decode("utf-16-le", "surrogatepass").rstrip("\0").replace("\0", "\\0")
    if type_id in (4, 5) and len(data) == 4:
        v = struct.unpack("<I" if type_id == 4 else ">I", data)[0]
        return "0x%x" % v
    if type_id == 11 and len(data) == 8:
        return "0x%x" % struct.unpack("<Q", data)[0]
    return data.hex().upper()


def record_value(type_field, data_field):
    """A registry record's (type name, shown data)."""
    if type_field.startswith("hex(") and type_field.endswith(")"):
        t = int(type_field[4:-1], 16)
        raw = bytes.fromhex(data_field.replace(",", "")) if data_field else b""
        return TYPES.get(t, "REG_%d" % t), shown_data(t, raw)
    if type_field == "REG_DWORD":
        return type_field, "0x%x" % (int(data_field) & 0xFFFFFFFF)
    return type_field, data_field


def decode(field):
    """A text field as the line writer encodes what would not survive."""
    if field.startswith("esc:"):
        return re.sub(r"%([0-9a-f]{4})", lambda m: chr(int(m.group(1), 16)), field[4:])
    if field.startswith("hex:"):
        try:
            return bytes.fromhex(field[4:].replace(",", "")).decode("utf-16-le")
        except ValueError:
            return field
    return field


def state_dirs(prefix):
    """The program's folders about prefix: those whose note names it."""
    data = os.environ.get("XDG_DATA_HOME") or os.path.join(os.environ["HOME"], ".local", "share")
    machines = os.path.join(data, "orvane", "machines")
    real = os.path.realpath(prefix)
    found = []
    for name in sorted(os.listdir(machines)) if os.path.isdir(machines) else []:
        try:
            with open(os.path.join(machines, name, "prefix"), encoding="utf-8", errors="surrogateescape") as f:
                if f.read().rstrip("\n") == real:
                    found.append(os.path.join(machines, name))
        except OSError:
            pass
    return found


def backup_records(prefix):
    """(set name, fields, folder of its copies or None for Windows paths)
    for every record of every set: those in the state folders and those an
    older version left in the prefix."""
    folders = []
    pf = os.path.join(prefix, "drive_c")
    for name in os.listdir(pf):
        if name.lower() == "program files":
            for sub in os.listdir(os.path.join(pf, name)):
                if sub.lower() == "orvane" and os.path.isdir(os.path.join(pf, name, sub, "backup")):
                    folders.append((os.path.join(pf, name, sub, "backup"), False))
    for d in state_dirs(prefix):
        if os.path.isdir(os.path.join(d, "backup")):
            folders.append((os.path.join(d, "backup"), True))
    records = []
    for folder, relative in folders:
        for name in sorted(os.listdir(folder)):
            if not name.lower().endswith(".dat"):
                continue
            with open(os.path.join(folder, name), "rb") as f:
                text = f.read().decode("utf-16-le", "surrogatepass")
            copies = os.path.join(folder, name[:-4]) if relative else None
            for piece in text.split(";;\r\n")[:-1]:
                records.append((name, piece.split("::")[:-1] if piece.endswith("::") else piece.split("::"), copies))
    return records


def host_path(prefix, windows_path):
    """C:\\a\\b as the host path of the prefix, case-insensitively."""
    if len(windows_path) < 3 or windows_path[1:3] != ":\\" or windows_path[0].lower() != "c":
        return None
    here = os.path.join(prefix, "drive_c")
    for part in [p for p in windows_path[3:].split("\\") if p]:
        match = [n for n in os.listdir(here) if n.lower() == part.lower()] if os.path.isdir(here) else []
        if not match:
            return None
        here = os.path.join(here, match[0])
    return here


def copy_path(prefix, copy, copies):
    """The host path of a record's copy: in its set's folder, or (older
    sets) a Windows path in the prefix."""
    if not copy:
        return None
    if copies is not None:
        return os.path.join(copies, copy) if "/" not in copy and "\\" not in copy else None
    return host_path(prefix, copy)


def copy_holds(prefix, copy, copies, digest):
    host = copy_path(prefix, copy, copies)
    return bool(host) and os.path.isfile(host) and not os.path.islink(host) and sha256(host) == digest


def coverage(before_dir, after_dir, prefix):
    problems = []
    before, _ = read_registry(os.path.join(before_dir, "registry.txt"))
    after, _ = read_registry(os.path.join(after_dir, "registry.txt"))
    records = backup_records(prefix)
    values = {}
    for set_name, f, _ in records:
        if f[0] == "1" and len(f) == 6:
            key = norm_key(decode(f[1]) + "\\" + decode(f[3]))
            name = decode(f[4][len("ValueName="):] if f[4].startswith("ValueName=") else f[4])
            values.setdefault((key, name.lower()), []).append((set_name, record_value(f[2], f[5])))
    for k, (shown, t, data) in sorted(before.items()):
        if after.get(k) == (shown, t, data):
            continue
        found = values.get(k)
        now = "changed to %s %r" % after[k][1:] if k in after else "gone"
        if not found:
            problems.append("registry value %s (%s %r) %s and in no backup set" % (shown, t, data, now))
        elif not any(v == (t, data) for _, v in found):
            problems.append("registry value %s (%s %r) %s; its backup holds only %s" %
                            (shown, t, data, now, "; ".join("%s %r in %s" % (v[0], v[1], s) for s, v in found)))
    files_before = read_listing(os.path.join(before_dir, "files.txt"))
    files_after = read_listing(os.path.join(after_dir, "files.txt"))
    copies = {}
    for set_name, f, folder in records:
        if f[0] == "0" and len(f) >= 3:
            copies.setdefault(decode(f[1]).rstrip("\\").lower(), []).append((set_name, decode(f[2]), folder))
    for rel, what in sorted(files_before.items()):
        if files_after.get(rel) == what:
            continue
        windows = "c:\\" + rel.replace("/", "\\").lower()
        kept = copies.get(windows, [])
        if what == "dir":
            if not kept and not any(w.startswith(windows + "\\") for w in copies):
                problems.append("folder %s is gone and nothing of it is in a backup set" % rel)
            continue
        if not what.startswith("file "):
            problems.append("%s (%s) changed and is no file a backup could hold" % (rel, what))
            continue
        digest = what.split()[2]
        good = [s for s, c, folder in kept if copy_holds(prefix, c, folder, digest)]
        if not good:
            detail = "; ".join("%s names copy %r%s" % (s, c, "" if copy_path(prefix, c, folder) and
                                                       os.path.lexists(copy_path(prefix, c, folder)) else " (missing)")
                               for s, c, folder in kept) or "no record names it"
            problems.append("file %s is %s and no complete copy of it is kept: %s" %
                            (rel, "changed" if rel in files_after else "gone", detail))
    for p in problems:
        print(p)
    return 1 if problems else 0


def compare(before_dir, after_dir):
    problems = []
    before, bkeys = read_registry(os.path.join(before_dir, "registry.txt"))
    after, akeys = read_registry(os.path.join(after_dir, "registry.txt"))
    for k in sorted(set(before) | set(after)):
        b, a = before.get(k), after.get(k)
        if b == a:
            continue
        if a is None:
            problems.append("registry value %s (%s %r) is missing after the restores" % b)
        elif b is None:
            problems.append("registry value %s (%s %r) appeared" % a)
        else:
            problems.append("registry value %s was %s %r, is %s %r after the restores" % (b[0], b[1], b[2], a[1], a[2]))
    for k in sorted(bkeys - akeys):
        problems.append("registry key %s is missing after the restores" % k)
    for k in sorted(akeys - bkeys):
        problems.append("registry key %s appeared" % k)
    fb = read_listing(os.path.join(before_dir, "files.txt"))
    fa = read_listing(os.path.join(after_dir, "files.txt"))
    for rel in sorted(set(fb) | set(fa)):
        if fb.get(rel) != fa.get(rel):
            problems.append("%s: was %s, is %s" % (rel, fb.get(rel, "absent"), fa.get(rel, "absent")))
    for p in problems[:40]:
        print(p)
    if len(problems) > 40:
        print("... and %d more differences" % (len(problems) - 40))
    return 1 if problems else 0


def mklnk(out, target):
    """A shell link with only a local base path (MS-SHLLINK)."""
    clsid = bytes([1, 0x14, 2, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46])
    header = struct.pack("<I16sIIQQQIiIHHII", 0x4C, clsid, 0x2 | 0x80, 0x20, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0)
    volume = struct.pack("<IIII", 17, 3, 0x1234ABCD, 0x10) + b"\0"
    base = target.encode("ascii") + b"\0"
    volume_at = 0x1C
    base_at = volume_at + len(volume)
    suffix_at = base_at + len(base)
    size = suffix_at + 1
    info = struct.pack("<IIIIIII", size, 0x1C, 1, volume_at, base_at, 0, suffix_at) + volume + base + b"\0"
    with open(out, "wb") as f:
        f.write(header + info + struct.pack("<I", 0))


def main(argv):
    cmd = argv[1]
    if cmd == "listing":
        args = dict(zip(argv[3::2], argv[4::2]))
        entries = listing(argv[2], args.get("--cache"), args.get("--since"), args.get("--write-cache"))
        out = sys.stdout.buffer
        for rel in sorted(entries):
            out.write(("%s\t%s\n" % (rel, entries[rel])).encode("utf-8", "surrogateescape"))
        return 0
    if cmd == "coverage":
        return coverage(argv[2], argv[3], argv[4])
    if cmd == "compare":
        return compare(argv[2], argv[3])
    if cmd == "mklnk":
        mklnk(argv[2], argv[3])
        return 0
    if cmd == "statedirs":
        for d in state_dirs(argv[2]):
            print(d)
        return 0
    print("unknown helper command " + cmd)
    return 2


sys.exit(main(sys.argv))
PY
}

# ---------------------------------------------------------------- main

main() {
  [[ $TRIALS =~ ^[0-9]+$ ]] || die "TRIALS must be a number"
  find_tools
  make_work
  trap cleanup EXIT
  trap 'exit 130' INT TERM
  [ -n "$SEED" ] && RANDOM=$SEED
  local start=$SECONDS passed=0 failed=0 n kind
  build_template
  control_run
  for ((n = 1; n <= TRIALS; n++)); do
    case $((n % 3)) in 1) kind=repair ;; 2) kind=fast ;; *) kind=restore ;; esac
    if run_trial "$n" "$kind"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
  done
  echo "($TRIALS trials in $((SECONDS - start)) s)" >&2
  echo "$passed passed, $failed failed"
  [ $failed -eq 0 ]
}

main
