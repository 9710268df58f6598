#!/usr/bin/env bash
# A junk repair against deleting the same files by hand: for each count,
# a prefix whose Windows temporary folder holds that many junk files is
# scanned, then "orvane-cli --pace none repair" (which moves every file into
# its backup set, outside the prefix) is timed against "find DIR -delete" of
# identical copies, one after the other, round by round. Prints each
# count's median times, the ratio and the time per file; a repair that
# costs the same per file at every count grows linearly.
#
# Usage (from the repository root):
#   bench/repair_bench.sh [--cli PATH] [--files "5000 10000 20000"] [--rounds N] [--work DIR]
#   bench/repair_bench.sh prepare N DIR    one round's fixtures, to time with another tool:
#       DIR/prefix (scanned, ready to repair), DIR/data (its XDG_DATA_HOME) and
#       DIR/copy (the same files); prints the two commands to compare.
# The backups go to the work folder's data folder, on the prefix's file
# system, so the repair's moves are renames as in a user's home. Needs
# python3 (to make the files quickly).

set -u -o pipefail

REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
CLI=${ORVANE_CLI:-$REPO_ROOT/build/cli/orvane-cli}
COUNTS="5000 10000 20000"
ROUNDS=5
WORK=

die() { echo "repair_bench: $*" >&2; exit 2; }

# A prefix as small as the program needs: the hives' first lines, drive C:
# and its Windows temporary folder with N files of 512 to 4095 bytes.
make_prefix() {  # make_prefix DIR N
  local p=$1 n=$2 hive
  # The profile is the running user's, as Wine names it; the program keeps
  # its list of findings in its AppData.
  mkdir -p "$p/dosdevices" "$p/drive_c/windows/temp/bench" "$p/drive_c/users/${USER:-$(id -un)}/AppData/Roaming"
  ln -sfn ../drive_c "$p/dosdevices/c:"
  for hive in system.reg user.reg userdef.reg; do
    printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n' >"$p/$hive"
  done
  python3 - "$p/drive_c/windows/temp/bench" "$n" <<'PY'
import os, sys
folder, n = sys.argv[1], int(sys.argv[2])
for i in range(n):
    with open(os.path.join(folder, "setup%05d.tmp" % i), "wb") as f:
        f.write(bytes([65 + i % 26]) * (512 + (i * 397) % 3584))
PY
}

prepare() {  # prepare N DIR: the fixtures of one round
  local n=$1 dir=$2 out
  rm -rf "$dir"
  mkdir -p "$dir/data"
  make_prefix "$dir/prefix" "$n"
  cp -a "$dir/prefix/drive_c/windows/temp/bench" "$dir/copy"
  out=$(XDG_DATA_HOME=$dir/data "$CLI" --prefix "$dir/prefix" --pace none scan --sections 13 2>&1)
  [ $? -le 1 ] || die "the scan failed: $out"
  grep -q "Scan completed: $((n + 1)) found" <<<"$out" || die "the scan found other than $n files: $(tail -n 2 <<<"$out")"
}

now_ns() { date +%s%N; }

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

run_count() {  # run_count N
  local n=$1 r t0 t1 repair=() remove=() dir=$WORK/round
  for ((r = 1; r <= ROUNDS; r++)); do
    prepare "$n" "$dir"
    sync
    t0=$(now_ns)
    XDG_DATA_HOME=$dir/data "$CLI" --prefix "$dir/prefix" --pace none repair >/dev/null 2>&1 ||
      die "the repair of $n files failed"
    t1=$(now_ns)
    repair+=($(( (t1 - t0) / 1000000 )))
    [ -z "$(ls -A "$dir/prefix/drive_c/windows/temp")" ] || die "the repair left files in the prefix"
    t0=$(now_ns)
    find "$dir/copy" -delete
    t1=$(now_ns)
    remove+=($(( (t1 - t0) / 1000000 )))
  done
  local a b
  a=$(printf '%s\n' "${repair[@]}" | median)
  b=$(printf '%s\n' "${remove[@]}" | median)
  awk -v n="$n" -v a="$a" -v b="$b" 'BEGIN {
    printf "%6d files: repair %6d ms, find -delete %5d ms, ratio %5.2f, %6.1f us a file\n",
           n, a, b, (b > 0 ? a / b : 0), a * 1000 / n }'
}

main() {
  if [ "${1:-}" = prepare ]; then
    [ $# -eq 3 ] || die "usage: prepare N DIR"
    [ -x "$CLI" ] || die "no orvane-cli at $CLI"
    prepare "$2" "$3"
    echo "XDG_DATA_HOME=$3/data $CLI --prefix $3/prefix --pace none repair"
    echo "find $3/copy -delete"
    return
  fi
  while [ $# -gt 0 ]; do
    case $1 in
      --cli) CLI=$2; shift 2 ;;
      --files) COUNTS=$2; shift 2 ;;
      --rounds) ROUNDS=$2; shift 2 ;;
      --work) WORK=$2; shift 2 ;;
      *) sed -n '2,/^$/s/^# \{0,1\}//p' "$0"; exit 2 ;;
    esac
  done
  [ -x "$CLI" ] || die "no orvane-cli at $CLI (--cli PATH)"
  if [ -z "$WORK" ]; then
    WORK=$(mktemp -d "${TMPDIR:-/tmp}/repair_bench.XXXXXX") || die "mktemp failed"
    trap 'rm -rf "$WORK"' EXIT
  fi
  local n
  for n in $COUNTS; do run_count "$n"; done
}

main "$@"
