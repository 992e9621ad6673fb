#!/usr/bin/env bash
# Packs the cross-built Windows programs with the practice's text into one
# zip that runs from any folder or a stick: pack_windows.sh BIN_DIR ZIP.
# Refuses programs that would need a DLL that Windows does not bring.
set -euo pipefail
bin=$1
zip_file=$2
here=$(cd "$(dirname "$0")" && pwd)
programs=(mergetool.exe mergetool-cli.exe pxcheck.exe pxdump.exe makesample.exe)

for p in "${programs[@]}"; do
  [ -f "$bin/$p" ] || { echo "pack_windows: $bin/$p is missing" >&2; exit 1; }
  # Every DLL a program imports must be one of Windows' own.
  foreign=$(x86_64-w64-mingw32-objdump -p "$bin/$p" | sed -n 's/^\s*DLL Name: //p' |
            grep -viE '^(kernel32|user32|gdi32|comctl32|uxtheme|advapi32|shell32|ole32|msvcrt|ucrtbase|api-ms-win-.*|ws2_32|bcrypt)\.dll$' || true)
  if [ -n "$foreign" ]; then
    echo "pack_windows: $p needs DLLs that Windows does not bring: $foreign" >&2
    exit 1
  fi
done

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
folder="$stage/mergetool-windows-x64"
mkdir -p "$folder"
for p in "${programs[@]}"; do
  cp "$bin/$p" "$folder/"
  x86_64-w64-mingw32-strip "$folder/$p"
done
cp "$here/windows/LIESMICH.txt" "$here/windows/pxengine.conf" "$folder/"
mkdir -p "$(dirname "$zip_file")"
rm -f "$zip_file"
zip_path=$(cd "$(dirname "$zip_file")" && pwd)/$(basename "$zip_file")
(cd "$stage" && zip -q -r -X "$zip_path" mergetool-windows-x64)
echo "packed $zip_file: $(ls "$folder" | wc -l) files, $(du -k "$zip_file" | cut -f1) KB"
