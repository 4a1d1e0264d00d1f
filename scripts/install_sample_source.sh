#!/usr/bin/env bash
# Installs the Sample Source in one of its two layouts.
#
#   install_sample_source.sh                 Wine's layout, in the project's prefix:
#                                            the 64-bit vorrel_sample.ds (both
#                                            identities) as C:\windows\twain_64\sane.ds,
#                                            one of the two files Wine's Manager loads
#   install_sample_source.sh uninstall       puts back the prefix's placeholder sane.ds
#   install_sample_source.sh windows DIR [win64|win32]
#                                            Windows' layout under DIR (a Windows
#                                            directory, or a folder to zip): one folder
#                                            per Source, each file answering only its
#                                            own identity, as a Manager that lists one
#                                            identity per file needs
#       DIR/twain_64/VorrelFlatbed/vorrel_flatbed.ds
#       DIR/twain_64/VorrelFaultLab/vorrel_fault_lab.ds
#       (twain_32 likewise for the win32 build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-install}

built_file() {  # preset file
  local file=$root/build/$1/sample_source/$2
  if [[ ! -f "$file" ]]; then
    echo "sample source: $file is not built (cmake --build --preset $1)" >&2
    exit 1
  fi
  printf '%s' "$file"
}

if [[ "$mode" == windows ]]; then
  dest=${2:?usage: $0 windows DIR [win64|win32]}
  preset=${3:-win64}
  case "$preset" in
    win64) twain=twain_64 ;;
    win32) twain=twain_32 ;;
    *) echo "sample source: preset is win64 or win32, not $preset" >&2; exit 1 ;;
  esac
  flatbed=$(built_file "$preset" vorrel_flatbed.ds)
  fault_lab=$(built_file "$preset" vorrel_fault_lab.ds)
  mkdir -p "$dest/$twain/VorrelFlatbed" "$dest/$twain/VorrelFaultLab"
  cp -f "$flatbed" "$dest/$twain/VorrelFlatbed/vorrel_flatbed.ds"
  cp -f "$fault_lab" "$dest/$twain/VorrelFaultLab/vorrel_fault_lab.ds"
  echo "sample source: installed under $dest/$twain (VorrelFlatbed, VorrelFaultLab)"
  exit 0
fi

source "$root/scripts/wine_env.sh"
folder=$WINEPREFIX/drive_c/windows/twain_64
target=$folder/sane.ds
placeholder=$folder/sane.ds.vorrel-placeholder

if [[ "$mode" == uninstall ]]; then
  if [[ -f "$placeholder" ]]; then
    mv -f "$placeholder" "$target"
    echo "sample source: placeholder sane.ds restored"
  else
    rm -f "$target"
    echo "sample source: removed"
  fi
  exit 0
fi

source_file=$(built_file win64 vorrel_sample.ds)
if [[ ! -d "$folder" ]]; then
  echo "sample source: no prefix at $WINEPREFIX (scripts/wine_prefix.sh)" >&2
  exit 1
fi
# Keep the prefix's own file once, the first time ours replaces it.
if [[ -f "$target" && ! -f "$placeholder" ]] && ! cmp -s "$source_file" "$target"; then
  if ! grep -q "Sample Flatbed" "$target" 2>/dev/null; then cp -f "$target" "$placeholder"; fi
fi
cp -f "$source_file" "$target"
echo "sample source: installed as $target"
