#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time
# (FUZZ_SECONDS, default 30). Fails on the first crash, leak or hang.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-30}
build=build-fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVANE_FUZZ=ON -DORVANE_BENCH=OFF -DORVANE_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target hive_fuzz hive_index_fuzz lnk_fuzz trashinfo_fuzz backup_file_fuzz url_cache_fuzz \
  prefix_discovery_fuzz \
  $(test -f fuzz/record_file_fuzz.cpp && echo record_file_fuzz) gif_fuzz soap_response_fuzz pe_exports_fuzz update_texts_fuzz \
  release_check_fuzz
for target in hive_fuzz hive_index_fuzz record_file_fuzz lnk_fuzz trashinfo_fuzz backup_file_fuzz url_cache_fuzz \
  prefix_discovery_fuzz gif_fuzz soap_response_fuzz pe_exports_fuzz update_texts_fuzz release_check_fuzz; do
  [[ -x "$build/fuzz/$target" ]] || continue
  corpus_seed="fuzz/corpus/${target%_fuzz}"
  work=$(mktemp -d)
  [[ -d "$corpus_seed" ]] && cp -r "$corpus_seed"/. "$work"/
  echo "fuzzing $target for ${seconds}s"
  "$build/fuzz/$target" "$work" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 2>&1 | tail -n 12
  rm -rf "$work"
done
