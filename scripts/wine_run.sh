#!/usr/bin/env bash
# Runs a Windows program in the project's prefix with a timeout. With no
# display and a prefix that needs one, it runs under Xvfb.
source "$(dirname "$0")/wine_env.sh"
if [[ -z "${DISPLAY:-}" && "$(cat "$WINEPREFIX/.vorrel-driver" 2>/dev/null)" != null ]]; then
  exec timeout "$vorrel_wine_timeout" xvfb-run -a wine "$@"
fi
exec timeout "$vorrel_wine_timeout" wine "$@"
