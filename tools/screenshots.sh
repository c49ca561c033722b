#!/usr/bin/env bash
# Runs QAXmanager.exe on a virtual display (Xvfb) with a demo site of a few phones and two
# zones, and saves a PNG of each page (Settings, IP Phone List, Zones, About) in
# docs/screenshots/. Uses a Wine prefix of its own, beside the build's.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QAX_BUILD_DIR:-$root/build}"

bash "$root/tools/setup.sh"
QAX_BUILD_DIR="$build" bash "$root/tools/build.sh" QAXmanager window_probe >/dev/null
. "$root/tools/wine-env.sh" "$build"
export WINEPREFIX="$build/wineprefix-screenshots"
export QAX_BIN_DIR="$build/bin" QAX_WINE="${QAX_WINE:-wine}"
python3 "$root/tools/screenshots.py" "$root/docs/screenshots"
