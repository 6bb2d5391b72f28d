#!/bin/sh
# A sample Brimvale package: "installs" a placeholder product into the folder
# it is given, following the package protocol (docs/package-protocol.md).
# It knows only its own files and never removes anything.

folder=""
lang=""
joining=0
for arg in "$@"; do
  if [ $joining -eq 1 ]; then
    folder="$folder $arg"
    continue
  fi
  case "$arg" in
    /D=*) folder=${arg#/D=}; joining=1 ;;
    -inslang=*) lang=${arg#-inslang=} ;;
  esac
done

echo "Encode=UTF8"
if [ -z "$folder" ]; then
  echo "Error=no install folder given (/D=)"
  exit 2
fi
echo "Progress=0.1"
if ! mkdir -p "$folder" 2>/dev/null; then
  echo "Error=cannot create $folder"
  exit 3
fi
echo "Progress=0.4"
cat > "$folder/Brimvale.exe" <<'PRODUCT'
#!/bin/sh
echo "Brimvale placeholder product"
PRODUCT
chmod 755 "$folder/Brimvale.exe"
cat > "$folder/uninst.exe" <<'UNINSTALLER'
@UNINSTALLER@
UNINSTALLER
chmod 755 "$folder/uninst.exe"
echo "Progress=0.8"
printf 'folder=%s\nlanguage=%s\n' "$folder" "$lang" > "$folder/uninst.ep"
echo "InstPath=$folder"
echo "ExePath=$folder/Brimvale.exe"
echo "UninstExePath=$folder/uninst.exe"
echo "UninstEp=$folder/uninst.ep"
echo "StartupStyle=NonStartup"
echo "Progress=1.0"
echo "State=Success"
exit 0
