#!/usr/bin/env bash
# Installs the 64-bit Sample Source into the project's Wine prefix as
# C:\windows\twain_64\sane.ds, one of the two files Wine's Source Manager
# loads; "uninstall" puts back the placeholder the prefix came with.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/wine_env.sh"
folder=$WINEPREFIX/drive_c/windows/twain_64
target=$folder/sane.ds
placeholder=$folder/sane.ds.vorrel-placeholder
built=${1:-install}

if [[ "$built" == uninstall ]]; then
  if [[ -f "$placeholder" ]]; then
    mv -f "$placeholder" "$target"
    echo "sample source: placeholder sane.ds restored"
  else
    rm -f "$target"
    echo "sample source: removed"
  fi
  exit 0
fi

source_file=$root/build/win64/sample_source/vorrel_sample.ds
if [[ ! -f "$source_file" ]]; then
  echo "sample source: $source_file is not built (cmake --build --preset win64)" >&2
  exit 1
fi
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
