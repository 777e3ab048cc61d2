#!/bin/sh
# Saves pictures of the main window into docs/: closed, and connected to a simulated reader.
# Builds the screenshot tool first; runs it under Xvfb so that the real window is drawn.
#   scripts/screenshots.sh [build folder]
set -eu
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
cmake --build "$build" --target zemo-screenshots -j2
xvfb-run -a -s "-screen 0 1024x768x24" "$build/tools-bin/zemo-screenshots" "$root/docs"
