#!/bin/sh
# Builds the sample package: the package script with the sample uninstaller
# embedded, padded with comment lines to a little over 1 MiB (the
# single-stream downloader refuses files below 1 MiB).
#   make-sample-package.sh OUTPUT
set -eu
here=$(dirname "$0")
out=$1
tmp="$out.tmp"
awk -v uninst="$here/sample-uninstaller.sh" '
  $0 == "@UNINSTALLER@" { while ((getline line < uninst) > 0) print line; next }
  { print }
' "$here/sample-package.sh" > "$tmp"
line="# padding: the package must be larger than 1 MiB ................................"
i=0
while [ $i -lt 14000 ]; do
  echo "$line"
  i=$((i + 1))
done >> "$tmp"
chmod 755 "$tmp"
mv "$tmp" "$out"
