#!/usr/bin/env bash
# Configures and builds into build/ (or $ROOTWELL_BUILD).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${ROOTWELL_BUILD:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build"
