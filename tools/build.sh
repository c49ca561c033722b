#!/usr/bin/env bash
# Configures and builds everything (or the targets given) into build/ with mingw-w64.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QAX_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
if [ $# -gt 0 ]; then
  for target in "$@"; do cmake --build "$build" -j"$(nproc)" --target "$target"; done
else
  cmake --build "$build" -j"$(nproc)"
fi
