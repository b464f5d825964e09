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
runs=7

cmake --build "$build" --target rootwell-cli rootwell-bench-image rootwell-measure >/dev/null
if [ ! -f "$image" ] || [ "$(stat -c %s "$image")" -ne $((size_mib * 1024 * 1024)) ]; then
  "$build/bench/rootwell-bench-image" "$image" "$size_mib" "$dirs"
fi
measure=$build/bench/rootwell-measure
cat "$image" > /dev/null; cat "$image" > /dev/null   # warm the page cache

cats=(); jobs=(); peak=0; code=
for _ in $(seq $runs); do
  read -r t_cat _ _ < <("$measure" cat "$image")
  read -r t_job kib code < <("$measure" "$build/cli/rootwell-cli" --dry-run "$image")
  cats+=("$t_cat"); jobs+=("$t_job")
  [ "$kib" -gt "$peak" ] && peak=$kib
done
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
best() { printf '%s\n' "$@" | sort -g | head -1; }
rows=$("$build/cli/rootwell-cli" --dry-run "$image" 2>/dev/null | grep -c $'\t2E\t' || true)
echo "image:      $image ($size_mib MiB, $dirs directory clusters; the job found $rows, exit $code)"
echo "cat:        best $(best "${cats[@]}") s, median $(median "${cats[@]}") s ($runs runs)"
echo "dry run:    best $(best "${jobs[@]}") s, median $(median "${jobs[@]}") s"
echo "ratio:      $(awk -v a="$(median "${jobs[@]}")" -v b="$(median "${cats[@]}")" 'BEGIN{printf "%.3f", a/b}') of the medians (target at most 1.15)"
echo "peak RSS:   $((peak / 1024)) MiB (target under 64 MiB)"
