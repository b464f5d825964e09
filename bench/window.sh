#!/usr/bin/env bash
# The same rebuild job, headless (rootwell-cli) and through the window, on a 4 GiB image holding 100,000
# directory clusters; prints both times, their ratio (target at most 2) and how long the window's event
# loop was ever kept waiting.      bench/window.sh [BUILD_DIR] [IMAGE]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
image=${2:-/tmp/rootwell-bench-100k.img}
cmake --build "$build" --target rootwell-cli rootwell-bench-image rootwell-bench-window rootwell-measure >/dev/null
[ -f "$image" ] || "$build/bench/rootwell-bench-image" "$image" 4096 100000
cat "$image" > /dev/null
for run in 1 2 3; do
  # Both jobs clear the root cluster (it is zero already) and scan; 100,000 rows do not fit a root cluster,
  # so neither writes a new root: the image stays the same from run to run.
  read -r t_cli _ code < <("$build/bench/rootwell-measure" "$build/cli/rootwell-cli" --no-backup "$image")
  # The About page is not contacted: every request of the browser goes to a closed local port.
  line=$(QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp} QTWEBENGINE_CHROMIUM_FLAGS=--proxy-server=127.0.0.1:9 \
    "$build/bench/rootwell-bench-window" "$image" 2>/dev/null)
  t_win=$(echo "$line" | sed -E 's/window job: ([0-9.]+) s.*/\1/')
  echo "run $run: headless $t_cli s (exit $code); $line; ratio $(awk -v a="$t_win" -v b="$t_cli" 'BEGIN{printf "%.2f", a/b}')"
done
