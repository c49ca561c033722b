# Sourced by the scripts: the Wine environment of a build directory.
# Usage: . tools/wine-env.sh BUILD_DIR
qax_build_dir=$(cd "${1:?build dir}" && pwd)
export WINEPREFIX="$qax_build_dir/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY no_proxy NO_PROXY
