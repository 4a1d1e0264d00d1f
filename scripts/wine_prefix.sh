#!/usr/bin/env bash
# Creates the project's Wine prefix once (about 12 s) and reuses it after.
# Tests use Wine's null display driver: windows and dialogs work with no X
# server. Pass "x11" to make a prefix for a real display instead.
set -euo pipefail
source "$(dirname "$0")/wine_env.sh"
driver=${1:-null}

if [[ ! -f "$WINEPREFIX/.vorrel-ready" ]]; then
  echo "wine: creating prefix $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  timeout 180 wine wineboot -i >/dev/null 2>&1
  timeout 120 wineserver -w
  touch "$WINEPREFIX/.vorrel-ready"
fi

# A test that hides the Source Manager puts it back; if it was killed first, do it here.
system32="$WINEPREFIX/drive_c/windows/system32"
if [[ -f "$system32/twain_32.dll.vorrel-hidden" && ! -f "$system32/twain_32.dll" ]]; then
  mv "$system32/twain_32.dll.vorrel-hidden" "$system32/twain_32.dll"
fi

current=$(cat "$WINEPREFIX/.vorrel-driver" 2>/dev/null || echo none)
if [[ "$current" != "$driver" ]]; then
  if [[ "$driver" == null ]]; then
    timeout 60 wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  else
    timeout 60 wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null 2>&1 || true
  fi
  timeout 60 wineserver -w
  echo "$driver" >"$WINEPREFIX/.vorrel-driver"
fi
