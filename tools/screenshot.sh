#!/usr/bin/env bash
# Remakes docs/window.png: the window after a rebuild of the demo image, under Xvfb with the CJK font the
# run command installs.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
for p in xvfb xauth; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="${missing:-} $p"
done
if [ -n "${missing:-}" ]; then
  sudo=; [ "$(id -u)" -eq 0 ] || sudo=sudo
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi
tools/build.sh >/dev/null
build=${ROOTWELL_BUILD:-build}
mkdir -p "$build/demo" docs
tools/make-demo-image.sh "$build/demo/screenshot.img"
runtime=$(mktemp -d)
XDG_RUNTIME_DIR=$runtime xvfb-run -a -s "-screen 0 1280x800x24" \
  "$build/tools/rootwell-screenshot" "$build/demo/screenshot.img" docs/window.png
rm -rf "$runtime"
echo "docs/window.png"
