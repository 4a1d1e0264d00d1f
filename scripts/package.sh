#!/usr/bin/env bash
# Builds both Windows presets and writes the release zips a Windows user
# downloads: dist/vorrel-<version>-win64.zip and dist/vorrel-<version>-win32.zip,
# each a folder Vorrel\ with the probe, its logo, the Sample Source in the
# layout a Windows Source Manager expects, the file Wine's Manager loads
# (wine\vorrel_sample.ds, both Sources in one) and a README.txt in Windows
# line ends.
# The version is the About box's (pages/about_text.h).
#   scripts/package.sh               build and package
#   scripts/package.sh --check ZIP   only check a zip's file list
# Fails when a file is missing from a zip or a binary needs a DLL Windows
# does not ship.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

version() {
  local header=$root/pages/about_text.h major minor
  major=$(sed -nE 's/.*kVersionMajor = ([0-9]+);.*/\1/p' "$header")
  minor=$(sed -nE 's/.*kVersionMinor = ([0-9]+);.*/\1/p' "$header")
  [[ -n "$major" && -n "$minor" ]] || { echo "package: no version in $header" >&2; exit 1; }
  printf '%u.%02u' "$major" "$minor"
}

twain_folder() { [[ $1 == win64 ]] && echo twain_64 || echo twain_32; }

# The files every zip holds, for a preset.
expected_files() {
  local twain
  twain=$(twain_folder "$1")
  printf '%s\n' Vorrel/vorrel.exe Vorrel/Logo.bmp Vorrel/README.txt \
    "Vorrel/$twain/VorrelFlatbed/vorrel_flatbed.ds" \
    "Vorrel/$twain/VorrelFaultLab/vorrel_fault_lab.ds" \
    "Vorrel/$twain/VorrelReplay/vorrel_replay.ds" \
    Vorrel/wine/vorrel_sample.ds Vorrel/wine/vorrel_replay.ds
}

# Compares a zip's files (folders left out) with the list; prints what differs.
check_zip() {
  local zip=$1 preset
  [[ $(basename "$zip") =~ -(win64|win32)\.zip$ ]] || { echo "package: $zip: not a win64 or win32 zip" >&2; return 1; }
  preset=${BASH_REMATCH[1]}
  local listed expected status=0
  listed=$(unzip -Z1 "$zip" | grep -v '/$' | sort)
  expected=$(expected_files "$preset")
  while IFS= read -r file; do
    if ! grep -qxF "$file" <<<"$listed"; then
      echo "package: $zip lacks $file" >&2
      status=1
    fi
  done <<<"$expected"
  while IFS= read -r file; do
    if ! grep -qxF "$file" <<<"$expected"; then
      echo "package: $zip holds $file, which is not in the list" >&2
      status=1
    fi
  done <<<"$listed"
  return $status
}

if [[ "${1:-}" == --check ]]; then
  check_zip "${2:?usage: $0 --check ZIP}"
  exit
fi

ver=$(version)
mkdir -p dist
for preset in win64 win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2 --target probe vorrel_sample vorrel_flatbed vorrel_fault_lab vorrel_replay
  twain=$(twain_folder "$preset")
  stage=$root/build/package/$preset
  rm -rf "$stage"
  mkdir -p "$stage/Vorrel"
  built=$root/build/$preset
  cp "$built/probe/vorrel.exe" "$built/probe/Logo.bmp" "$stage/Vorrel/"
  scripts/install_sample_source.sh windows "$stage/Vorrel" "$preset" >/dev/null
  mkdir -p "$stage/Vorrel/wine"
  cp "$built/sample_source/vorrel_sample.ds" "$built/sample_source/vorrel_replay.ds" "$stage/Vorrel/wine/"
  if [[ $preset == win64 ]]; then
    manager="For this
64-bit build that is TWAINDSM.DLL in %WINDIR%\\System32, the TWAIN Working
Group's Source Manager; scanner drivers install it, and the Working Group
publishes it."
  else
    manager="For this
32-bit build that is TWAIN_32.DLL in %WINDIR%, which Windows ships."
  fi
  # Windows line ends.
  VERSION=$ver BITS=${preset#win} TWAIN=$twain MANAGER=$manager python3 - \
    "$root/scripts/release_readme.txt" "$stage/Vorrel/README.txt" <<'PY'
import os, sys
text = open(sys.argv[1]).read()
for key in ("VERSION", "BITS", "TWAIN", "MANAGER"):
    text = text.replace("@%s@" % key, os.environ[key])
# The title's underline as long as the title.
lines = text.split("\n")
lines[1] = "=" * len(lines[0])
text = "\n".join(lines)
open(sys.argv[2], "w", newline="\r\n").write(text)
PY
  # Symbols are for debugging here, not for a user's download.
  strip=$(sed -n 's/^CMAKE_STRIP:FILEPATH=//p' "$built/CMakeCache.txt")
  find "$stage" \( -name '*.exe' -o -name '*.ds' \) -exec "$strip" --strip-debug {} +
  scripts/check_static.sh "$stage" >/dev/null || { scripts/check_static.sh "$stage"; exit 1; }
  zip=$root/dist/vorrel-$ver-$preset.zip
  rm -f "$zip"
  (cd "$stage" && zip -qrX9 "$zip" Vorrel)
  check_zip "$zip"
  echo "package: $(basename "$zip") $(stat -c %s "$zip") bytes"
  unzip -Z1 "$zip" | grep -v '/$' | sed 's/^/  /'
done
