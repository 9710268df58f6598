#!/usr/bin/env bash
# One registry value read from a real Wine prefix whose system.reg is about
# 100 MB, timed as whole processes, start-up and hive load included:
#   A  orvane-cli reg query of the value,
#   B  wc -l of system.reg (how fast the file can be read at all),
#   C  Wine's own reg query of the value, its server ended before each run so
#      that every run loads the hive (wineserver -k).
# The prefix is made once with wineboot, then a million keys shaped like a
# large machine's are put in system.reg where Wine's sorted order has them
# (so the file still looks as Wine writes it); it is kept in the work folder.
#
# Usage (from the repository root):
#   bench/reg_query.sh [--cli PATH] [--work DIR] [--runs N]
# Prints each command's median wall time and peak memory over N runs
# (default 5), and the ratios A/B and C/A. Needs wine64 and python3.
set -euo pipefail

REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
CLI=${ORVANE_CLI:-$REPO_ROOT/build-rel/cli/orvane-cli}
WORK=${WORK_DIR:-/tmp/orvane-reg-query}
RUNS=5
while (($#)); do
  case $1 in
    --cli) CLI=$2; shift 2 ;;
    --work) WORK=$2; shift 2 ;;
    --runs) RUNS=$2; shift 2 ;;
    *) echo "usage: $0 [--cli PATH] [--work DIR] [--runs N]" >&2; exit 2 ;;
  esac
done
WINE=$(command -v wine || echo /usr/lib/wine/wine64)
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
PREFIX=$WORK/prefix
KEY='HKLM\Software\Zz Bench\V0500\P0500'

if [[ ! -f $PREFIX/.bench-ready ]]; then
  rm -rf "$PREFIX"
  mkdir -p "$WORK"
  WINEPREFIX=$PREFIX WINEDEBUG=-all "$WINE" wineboot --init >/dev/null 2>&1
  WINEPREFIX=$PREFIX "$WINESERVER" -w
  python3 - "$PREFIX/system.reg" <<'EOF'
import sys
path = sys.argv[1]
text = open(path, encoding='ascii', newline='').read()
# "Software\\Zz Bench" sorts after every other Software key and before System.
at = text.index('\n[System')
lines = []
for a in range(1000):
    for b in range(1000):
        lines.append('\n[Software\\\\Zz Bench\\\\V%04d\\\\P%04d] 1718000000\n#time=1dabafd4a7c4000\n'
                     '"Path"="C:\\\\Apps\\\\V%04d\\\\p%04d.exe"\n' % (a, b, a, b))
open(path, 'w', encoding='ascii', newline='').write(text[:at] + ''.join(lines) + text[at:])
EOF
  touch "$PREFIX/.bench-ready"
fi
echo "system.reg: $(($(stat -c %s "$PREFIX/system.reg") / 1000000)) MB"

# Median wall seconds and peak kilobytes of RUNS runs of a command.
measure() {
  local walls=() peaks=() out
  for ((i = 0; i < RUNS; i++)); do
    WINEPREFIX=$PREFIX "$WINESERVER" -k 2>/dev/null || true
    WINEPREFIX=$PREFIX "$WINESERVER" -w 2>/dev/null || true
    out=$( { /usr/bin/time -f '%e %M' "$@" >/dev/null 2>/dev/null; } 2>&1 | tail -n 1)
    walls+=("${out% *}")
    peaks+=("${out#* }")
  done
  local wall peak
  wall=$(printf '%s\n' "${walls[@]}" | sort -g | sed -n "$(((RUNS + 1) / 2))p")
  peak=$(printf '%s\n' "${peaks[@]}" | sort -g | sed -n "$(((RUNS + 1) / 2))p")
  echo "$wall $peak"
}

read -r a_wall a_peak < <(measure "$CLI" --prefix "$PREFIX" reg query "$KEY" /v Path)
read -r b_wall b_peak < <(measure wc -l "$PREFIX/system.reg")
read -r c_wall c_peak < <(measure env WINEPREFIX="$PREFIX" WINEDEBUG=-all "$WINE" reg query "$KEY" /v Path)
WINEPREFIX=$PREFIX "$WINESERVER" -k 2>/dev/null || true
printf 'A orvane-cli reg query  %6.2f s  %7d KB\n' "$a_wall" "$a_peak"
printf 'B wc -l                 %6.2f s  %7d KB\n' "$b_wall" "$b_peak"
printf 'C wine reg query        %6.2f s  %7d KB\n' "$c_wall" "$c_peak"
python3 -c "import sys; a,b,c=map(float,sys.argv[1:]); print('A/B %.1f   C/A %.1f' % (a/max(b,0.01), c/max(a,0.01)))" \
  "$a_wall" "$b_wall" "$c_wall"
