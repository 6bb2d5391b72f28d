#!/bin/sh
# A sample Brimvale uninstaller: removes the files the sample package put
# into the installed folder (given after "_?="), following the removal
# protocol (docs/package-protocol.md). It removes only those files, and the
# folder only when it is then empty.

folder=""
joining=0
for arg in "$@"; do
  if [ $joining -eq 1 ]; then
    folder="$folder $arg"
    continue
  fi
  case "$arg" in
    _\?=*) folder=${arg#_?=}; joining=1 ;;
  esac
done

echo "Encode=UTF8"
if [ -z "$folder" ] || [ ! -d "$folder" ]; then
  echo "Error=installed folder not found: $folder"
  exit 2
fi
echo "Progress=0.3"
for f in Brimvale.exe uninst.ep uninst.exe; do
  rm -f "$folder/$f"
done
rmdir "$folder" 2>/dev/null
echo "Progress=1.0"
echo "State=Success"
exit 0
