#!/usr/bin/env bash
# Renders the README's pictures of the window into doc/, on the offscreen
# platform (no display needed), against the simulated machine.
# Usage: demo/screenshots.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" -j2 --target loader-screenshots
"$build/demo/loader-screenshots" doc
