#!/usr/bin/env bash
# Every .exe, .dll and .ds we ship imports only Windows system DLLs, so it
# runs with nothing beside it.
set -euo pipefail
allowed='^(kernel32|user32|gdi32|advapi32|comdlg32|comctl32|shell32|ole32|oleaut32|msvcrt|msvfw32|windowscodecs|ws2_32|shlwapi|uxtheme|version|winmm|ntdll|api-ms-win-[a-z0-9-]+)\.dll$'
status=0
for dir in "$@"; do
  while IFS= read -r -d '' binary; do
    for dll in $(objdump -p "$binary" | awk '/DLL Name:/ {print tolower($3)}'); do
      if ! [[ "$dll" =~ $allowed ]]; then
        echo "check_static: $binary imports $dll"
        status=1
      fi
    done
  done < <(find "$dir" -type f \( -name '*.exe' -o -name '*.dll' -o -name '*.ds' \) -not -path '*/CMakeFiles/*' -print0)
done
[[ $status -eq 0 ]] && echo "check_static: only Windows system DLLs are imported"
exit $status
