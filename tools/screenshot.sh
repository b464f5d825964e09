#!/usr/bin/env bash
# Remakes docs/window.png: the window after a rebuild of the demo image, under Xvfb with the CJK font the
# run command installs.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
tools/build.sh >/dev/null
build=${ROOTWELL_BUILD:-build}
mkdir -p "$build/demo" docs
tools/make-demo-image.sh "$build/demo/screenshot.img"
runtime=$(mktemp -d)
# The About page's forum is not contacted for a picture of the Start tab.
XDG_RUNTIME_DIR=$runtime QTWEBENGINE_CHROMIUM_FLAGS=--proxy-server=127.0.0.1:9 xvfb-run -a -s "-screen 0 1280x800x24" \
  "$build/tools/rootwell-screenshot" "$build/demo/screenshot.img" docs/window.png
rm -rf "$runtime"
echo "docs/window.png"
