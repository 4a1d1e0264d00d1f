#!/usr/bin/env bash
# The win64 release as a Windows user gets it: unpacks the zip into a fresh
# Wine prefix's Program Files, runs the install commands its README.txt
# gives (the folders Windows needs and the one file Wine's Manager loads),
# starts the probe from there headless and passes when it reaches state 4
# with "Sample Flatbed". Then the README's uninstall commands must remove
# the folders, and the package script's list check must notice a missing file.
# Run scripts/package.sh first.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
fail() { echo "test_package: FAILED: $*" >&2; exit 1; }

version=$(sed -nE 's/.*kVersion(Major|Minor) = ([0-9]+);.*/\2/p' pages/about_text.h | xargs printf '%u.%02u')
zip=$root/dist/vorrel-$version-win64.zip
[[ -f "$zip" ]] || fail "$zip is missing (scripts/package.sh)"

# A pristine prefix made once; each run starts from a copy of it (about a
# second, where a new prefix takes twelve).
template=$root/build/wine-release-template
VORREL_WINEPREFIX=$template scripts/wine_prefix.sh null >/dev/null || fail "no template prefix"
export VORREL_WINEPREFIX=$root/build/wine-release
source scripts/wine_env.sh
timeout 60 wineserver -k 2>/dev/null
rm -rf "$WINEPREFIX"
cp -a "$template" "$WINEPREFIX"
drive=$WINEPREFIX/drive_c
trap 'timeout 60 wineserver -k 2>/dev/null' EXIT

unzip -q "$zip" -d "$drive/Program Files" || fail "cannot unpack $zip"
folder=$drive/Program\ Files/Vorrel
scripts/check_static.sh "$folder" >/dev/null || fail "a binary in the zip needs a DLL Windows does not ship"
readme=$folder/README.txt
grep -q $'\r$' "$readme" || fail "README.txt is not in Windows line ends"

# The README's commands, run by the Windows command interpreter from the
# probe's folder, as the README tells a user to.
run_commands() {  # pattern
  local script=$drive/vorrel_commands.bat
  { printf 'cd /d "C:\\Program Files\\Vorrel"\r\n'; grep -E "^    ($1) " "$readme"; } >"$script"
  [[ $(wc -l <"$script") -gt 1 ]] || fail "README.txt has no '$1' commands"
  timeout 120 wine cmd /c 'C:\vorrel_commands.bat' </dev/null >/dev/null 2>&1
}

run_commands 'xcopy|copy'
windows_folder=$drive/windows/twain_64
for file in VorrelFlatbed/vorrel_flatbed.ds VorrelFaultLab/vorrel_fault_lab.ds \
  VorrelReplay/vorrel_replay.ds sane.ds; do
  [[ -f "$windows_folder/$file" ]] || fail "the README's commands did not install $file"
done
cmp -s "$folder/wine/vorrel_sample.ds" "$windows_folder/sane.ds" ||
  fail "sane.ds is not the file for Wine"

rm -f "$drive/probe.log"
timeout 60 wine 'C:\Program Files\Vorrel\vorrel.exe' --log-file 'C:\probe.log' </dev/null >/dev/null 2>&1 &
reached=1
for _ in $(seq 1 60); do
  sleep 0.5
  if grep -q '^Opened Sample Flatbed \[' "$drive/probe.log" 2>/dev/null; then
    reached=0
    break
  fi
done
timeout 60 wineserver -k 2>/dev/null
wait
cat "$drive/probe.log" 2>/dev/null | sed 's/^/  probe: /'
((reached == 0)) || fail "the probe did not reach state 4 with Sample Flatbed"

run_commands 'rmdir'
for dir in VorrelFlatbed VorrelFaultLab VorrelReplay; do
  [[ ! -e "$windows_folder/$dir" ]] || fail "the README's uninstall commands left $dir"
done

# The list check fails, naming the file, when one is missing.
damaged=$root/build/package/check/vorrel-$version-win64.zip
mkdir -p "$(dirname "$damaged")"
cp "$zip" "$damaged"
zip -qd "$damaged" Vorrel/Logo.bmp
if message=$(scripts/package.sh --check "$damaged" 2>&1); then fail "a zip without Logo.bmp passed the check"; fi
grep -q 'lacks Vorrel/Logo.bmp' <<<"$message" || fail "the check did not name Logo.bmp: $message"
scripts/package.sh --check "$zip" || fail "the release zip fails its own check"

echo "test_package: the win64 release reached state 4 with Sample Flatbed from Program Files"
