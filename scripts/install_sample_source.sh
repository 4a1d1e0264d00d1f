#!/usr/bin/env bash
# Installs the Sample Source in one of its two layouts.
#
#   install_sample_source.sh                 Wine's layout, in the project's prefix:
#                                            the 64-bit vorrel_sample.ds (both
#                                            identities) as C:\windows\twain_64\sane.ds,
#                                            one of the two files Wine's Manager loads
#   install_sample_source.sh replay          also the 64-bit Replay Source, vorrel_replay.ds,
#                                            as C:\windows\twain_64\gphoto2.ds, the other
#                                            file Wine's Manager loads (it plays the trace
#                                            VORREL_REPLAY names); Wine prefers its built-in
#                                            gphoto2.ds unless WINEDLLOVERRIDES has gphoto2.ds=n
#   install_sample_source.sh uninstall       puts back the prefix's placeholder sane.ds
#                                            (and gphoto2.ds)
#   install_sample_source.sh windows DIR [win64|win32]
#                                            Windows' layout under DIR (a Windows
#                                            directory, or a folder to zip): one folder
#                                            per Source, each file answering only its
#                                            own identity, as a Manager that lists one
#                                            identity per file needs
#       DIR/twain_64/VorrelFlatbed/vorrel_flatbed.ds
#       DIR/twain_64/VorrelFaultLab/vorrel_fault_lab.ds
#       DIR/twain_64/VorrelReplay/vorrel_replay.ds
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
  replay=$(built_file "$preset" vorrel_replay.ds)
  mkdir -p "$dest/$twain/VorrelFlatbed" "$dest/$twain/VorrelFaultLab" "$dest/$twain/VorrelReplay"
  cp -f "$flatbed" "$dest/$twain/VorrelFlatbed/vorrel_flatbed.ds"
  cp -f "$fault_lab" "$dest/$twain/VorrelFaultLab/vorrel_fault_lab.ds"
  cp -f "$replay" "$dest/$twain/VorrelReplay/vorrel_replay.ds"
  echo "sample source: installed under $dest/$twain (VorrelFlatbed, VorrelFaultLab, VorrelReplay)"
  exit 0
fi

source "$root/scripts/wine_env.sh"
folder=$WINEPREFIX/drive_c/windows/twain_64
target=$folder/sane.ds
placeholder=$folder/sane.ds.vorrel-placeholder
replay_target=$folder/gphoto2.ds
replay_placeholder=$folder/gphoto2.ds.vorrel-placeholder

if [[ "$mode" == uninstall ]]; then
  if [[ -f "$placeholder" ]]; then
    mv -f "$placeholder" "$target"
    echo "sample source: placeholder sane.ds restored"
  else
    rm -f "$target"
    echo "sample source: removed"
  fi
  if [[ -f "$replay_placeholder" ]]; then
    mv -f "$replay_placeholder" "$replay_target"
    echo "sample source: placeholder gphoto2.ds restored"
  fi
  exit 0
fi

if [[ "$mode" == replay ]]; then
  replay_file=$(built_file win64 vorrel_replay.ds)
  [[ -d "$folder" ]] || { echo "sample source: no prefix at $WINEPREFIX (scripts/wine_prefix.sh)" >&2; exit 1; }
  if [[ -f "$replay_target" && ! -f "$replay_placeholder" ]] && ! cmp -s "$replay_file" "$replay_target"; then
    cp -f "$replay_target" "$replay_placeholder"
  fi
  cp -f "$replay_file" "$replay_target"
  echo "sample source: replay installed as $replay_target (run Wine with WINEDLLOVERRIDES=gphoto2.ds=n)"
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
