#!/usr/bin/env bash
# The Chrome history scan and repair as a user runs them, against the sqlite3
# shell deleting the same rows: prepares a prefix as small as the program
# needs, with a Chrome History of 20,000 URLs and 200,000 visits (Chrome's
# own tables, as the tests build them) and an untouched copy beside it, and
# prints the commands to time. Each command first puts the untouched copy
# back, the shell's too, so both start from the same file.
#
# Usage (from the repository root):
#   bench/browser_cli.sh DIR        fixtures in DIR; prints the commands
# (A scan that finds something exits 1, so the repair follows it with ";".)
# Needs python3 and sqlite3.

set -u -o pipefail

REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
CLI=${ORVANE_CLI:-$REPO_ROOT/build/cli/orvane-cli}
dir=${1:?usage: bench/browser_cli.sh DIR}
user=${USER:-$(id -un)}
p=$dir/prefix
profile="$p/drive_c/users/$user/AppData/Local/Google/Chrome/User Data/Default"

rm -rf "$dir" && mkdir -p "$p/dosdevices" "$profile" "$p/drive_c/users/$user/AppData/Roaming" "$dir/data"
ln -sfn ../drive_c "$p/dosdevices/c:"
for hive in system.reg user.reg userdef.reg; do
  printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n' >"$p/$hive"
done
# Chrome's tables, as the tests' fixtures declare them.
sed -n '/^const char kChromeHistorySchema\[\] = R"sql(/,/^)sql";/p' \
  "$REPO_ROOT/scanners/browsers/browser_fixtures.cpp" | sed '1d;$d' >"$dir/schema.sql"
python3 - "$dir/History.orig" "$dir/schema.sql" <<'PY'
import random, sqlite3, sys
db = sqlite3.connect(sys.argv[1])
db.executescript(open(sys.argv[2]).read())
db.executemany("INSERT INTO urls (id, url, title, visit_count, typed_count, last_visit_time) "
               "VALUES (?, ?, ?, 10, 0, 13300000000000000)",
               ((i, f"https://site{i % 5000}.example.com/articles/{i}?ref=front-page", f"Article number {i}")
                for i in range(1, 20001)))
rand = random.Random(42)
db.executemany("INSERT INTO visits (url, visit_time, from_visit, transition) VALUES (?, ?, 0, 805306368)",
               ((rand.randrange(20000) + 1, 13300000000000000 + i) for i in range(200000)))
db.commit()
PY
deletes="PRAGMA secure_delete = ON; BEGIN IMMEDIATE; DELETE FROM visit_source; DELETE FROM visits;
DELETE FROM segments; DELETE FROM segment_usage; DELETE FROM urls WHERE visit_count > 0;
DELETE FROM keyword_search_terms; DELETE FROM downloads; DELETE FROM downloads_url_chains;
DELETE FROM downloads_slices; COMMIT; VACUUM;"
fresh="cp '$dir/History.orig' '$profile/History'"
run="XDG_DATA_HOME='$dir/data' '$CLI' --prefix '$p' --pace none"
echo "scan:        sh -c \"$fresh && $run scan --privacy --browsers chrome --sections 18 >/dev/null\""
echo "scan+repair: sh -c \"$fresh && $run scan --privacy --browsers chrome --sections 18 >/dev/null; $run repair >/dev/null\""
echo "shell:       sh -c \"$fresh && sqlite3 '$profile/History' '$deletes' >/dev/null\""
