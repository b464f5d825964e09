#!/usr/bin/env bash
# Times `rootwell-cli --dry-run` on a 4 GiB FAT32 image with 50,000 directory clusters against
# `cat IMAGE > /dev/null`, both from a warm page cache, and prints the ratio and the job's peak memory.
#   bench/run.sh [BUILD_DIR] [IMAGE]      (defaults: build, /tmp/rootwell-bench.img)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
image=${2:-/tmp/rootwell-bench.img}
size_mib=4096
dirs=50000
runs=5

cmake --build "$build" --target rootwell-cli rootwell-bench-image rootwell-measure >/dev/null
if [ ! -f "$image" ] || [ "$(stat -c %s "$image")" -ne $((size_mib * 1024 * 1024)) ]; then
  "$build/bench/rootwell-bench-image" "$image" "$size_mib" "$dirs"
fi
measure=$build/bench/rootwell-measure
cat "$image" > /dev/null; cat "$image" > /dev/null   # warm the page cache

best_cat=; best_job=; peak=0
for _ in $(seq $runs); do
  read -r t_cat _ _ < <("$measure" cat "$image")
  read -r t_job kib code < <("$measure" "$build/cli/rootwell-cli" --dry-run "$image")
  best_cat=$(echo "$t_cat ${best_cat:-$t_cat}" | awk '{print ($1<$2)?$1:$2}')
  best_job=$(echo "$t_job ${best_job:-$t_job}" | awk '{print ($1<$2)?$1:$2}')
  [ "$kib" -gt "$peak" ] && peak=$kib
done
rows=$("$build/cli/rootwell-cli" --dry-run "$image" 2>/dev/null | grep -c $'\t2E\t' || true)
echo "image:      $image ($size_mib MiB, $dirs directory clusters; the job found $rows, exit $code)"
echo "cat:        ${best_cat} s (best of $runs)"
echo "dry run:    ${best_job} s (best of $runs)"
echo "ratio:      $(awk -v a="$best_job" -v b="$best_cat" 'BEGIN{printf "%.3f", a/b}') (target at most 1.15)"
echo "peak RSS:   $((peak / 1024)) MiB (target under 64 MiB)"
