#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QAX_BUILD_DIR:-$root/build}"

bash "$root/tools/setup.sh"
QAX_BUILD_DIR="$build" bash "$root/tools/build.sh"

mkdir -p "$build"
. "$root/tools/wine-env.sh" "$build"
. "$root/tools/wine-prefix.sh"
qax_prepare_prefix

status=0
ctest --test-dir "$build" --output-on-failure --timeout 900 "$@" || status=$?
wineserver -k >/dev/null 2>&1 || true
exit $status
