# Sourced by the scripts: creates the build's own Wine prefix once, set up for headless runs.
# Needs tools/wine-env.sh sourced first.
qax_prepare_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1 || true
  fi
  # Windows without a display: the null graphics driver lets dialogs exist headless.
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
  wineserver -k >/dev/null 2>&1 || true
}
