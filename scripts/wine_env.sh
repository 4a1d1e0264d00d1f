# Sourced by the Wine scripts: the project's own 64-bit prefix under the
# build folder, no Mono or Gecko prompts, and a crash ends the process
# instead of waiting for a debugger.
vorrel_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${VORREL_WINEPREFIX:-$vorrel_root/build/wine}
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
vorrel_wine_timeout=${VORREL_WINE_TIMEOUT:-300}
