#!/usr/bin/env bash
# Installs what is missing, builds, makes a damaged demo stick image, and starts the window program.
# Without a display it rebuilds the demo image with rootwell-cli instead and shows what mtools then finds.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
tools/build.sh >/dev/null
build=${ROOTWELL_BUILD:-build}
mkdir -p "$build/demo"
image=$(realpath "$build/demo")/damaged-stick.img
tools/make-demo-image.sh "$image"
echo "A damaged demo stick image is ready: $image"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting Rootwell. To rebuild the demo image, see \"Rebuilding the demo image\" in README.md."
  exec "$build/rootwell"
fi

echo "No display here: rebuilding it with rootwell-cli instead."
export MTOOLS_SKIP_CHECK=1
rm -f "$build/demo"/root-backup*
status=0
"$build/cli/rootwell-cli" --backup "$build/demo/root-backup" "$image" || status=$?
echo
echo "== After (exit status $status): what mtools finds on the image"
mdir -/ -b -i "$image" ::/ | sort -u | sed 's/^/   /'
