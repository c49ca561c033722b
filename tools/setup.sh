#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, when they are missing.
set -euo pipefail

# wine64-preloader is only suggested by wine64, yet Wine needs it: without it the kernel may put
# the loader's heap (placed at random within 1 GB above the loader) on the page that Wine maps
# the shared user data to, and about one Wine program in 5,000 then ends at once with status 1
# and no output.
packages=(
  cmake make g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
  wine wine64 wine64-preloader googletest xvfb x11-utils python3 curl libxml2-utils openssl
  imagemagick
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
