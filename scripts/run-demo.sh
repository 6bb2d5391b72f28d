#!/bin/sh
# The installer's main job on its embedded default: a local server on
# loopback serves the sample package under a URL with its MD5 segment, and
# the installer's chain (removal, download, installation) runs headless
# into a temporary install folder.
set -eu
cd "$(dirname "$0")/.."
ROOT=$(pwd)
scripts/setup.sh build ""

work=$(mktemp -d /tmp/brimvale-demo-XXXXXX)
cleanup() {
  if [ -f "$work/nginx.pid" ]; then kill "$(cat "$work/nginx.pid")" 2>/dev/null || true; fi
}
trap cleanup EXIT INT TERM

package="$ROOT/build/assets/Brimvale_setup.exe"
md5=$(md5sum "$package" | cut -d' ' -f1)
mkdir -p "$work/www/$md5" "$work/nginx"
cp "$package" "$work/www/$md5/Brimvale_setup.exe"
chmod -R a+rX "$work/www"

user_line=""
[ "$(id -u)" -ne 0 ] || user_line="user root;"
port=""
for try in 1 2 3 4 5 6 7 8 9 10; do
  candidate=$(( 20000 + ($$ * 7 + try * 7919) % 20000 ))
  cat > "$work/nginx.conf" <<CONF
$user_line
worker_processes 1;
pid $work/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 64; }
http {
  access_log off;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  types { application/octet-stream exe; }
  server { listen 127.0.0.1:$candidate; root $work/www; }
}
CONF
  if nginx -c "$work/nginx.conf" -e "$work/nginx/error.log" 2>/dev/null; then
    port=$candidate
    break
  fi
done
[ -n "$port" ] || { echo "demo: could not start nginx on loopback" >&2; exit 1; }

url="http://127.0.0.1:$port/$md5/Brimvale_setup.exe"
target="$work/Brimvale"
echo "Serving the sample package at $url"
echo "Installing into $target"
echo "Events (code, value, text):"
set +e
build/bin/brimvale-pipeline "-downloadurl=$url" "--dir=$target" 2> "$work/installer.log"
status=$?
set -e
echo "brimvale-pipeline exited with $status (diagnostic log: $work/installer.log)"
echo "The placeholder product landed in $target:"
ls -l "$target" || true
[ $status -eq 0 ] || exit $status

echo
echo "Installing again over the installed version: its uninstaller runs first."
set +e
build/bin/brimvale-pipeline "-downloadurl=$url" "--dir=$target" "--uninstaller=$target/uninst.exe" \
  2>> "$work/installer.log"
status=$?
set -e
echo "brimvale-pipeline exited with $status"
ls -l "$target" || true
exit $status
