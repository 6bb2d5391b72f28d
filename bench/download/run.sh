#!/bin/sh
# Download benchmark (not a test). nginx on a free loopback port serves a
# 256 MiB and a 1 GiB file of random bytes (made in /tmp, removed at the
# end). Each size is fetched once by curl, aria2c -x2 (when installed) and
# our three downloaders (1 single stream, 3 multi-part, 2 system), each
# result checked against md5sum; then a whole attempt with an MD5 segment
# in the address (transfer, join, digest) against curl followed by md5sum;
# GetFileMd5 against md5sum; and, at 256 MiB, a per-connection rate limit
# (nginx limit_rate, $BENCH_RATE, default 40m) where two ranges should come
# close to twice one stream. Prints wall time, CPU time, peak RSS and ratios
# (ratio = reference time / our time: above 1 is faster).
#   bench/download/run.sh [BUILD_DIR]      (default: build)
# BENCH_SIZES (MiB, default "256 1024") picks other sizes, e.g. for a quick
# look at the script itself.
set -eu
cd "$(dirname "$0")/../.."
BUILD=${1:-build}
case $BUILD in /*) ;; *) BUILD=$(pwd)/$BUILD ;; esac
BENCH=$BUILD/bin/bench-download
if ! cmake --build "$BUILD" --target bench-download >/dev/null; then
  [ -x "$BENCH" ] || exit 1
  echo "warning: the build failed; using the bench-download already built"
fi
NGINX=$(command -v nginx || echo /usr/sbin/nginx)
RATE=${BENCH_RATE:-40m}
HAVE_ARIA=0
command -v aria2c >/dev/null 2>&1 && HAVE_ARIA=1

echo "== free space before"
df -h /tmp
WORK=$(mktemp -d /tmp/brim-bench-XXXXXX)
NGINX_PID=""
cleanup() {
  if [ -n "$NGINX_PID" ]; then
    kill "$NGINX_PID" 2>/dev/null || true
    wait "$NGINX_PID" 2>/dev/null || true
  fi
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
mkdir -p "$WORK/www" "$WORK/temp"
RESULTS=$WORK/results
OUT=$WORK/out.bin
: > "$RESULTS"

PORT=$("$BENCH" free-port)
USER_LINE=""
[ "$(id -u)" -eq 0 ] && USER_LINE="user root;"
cat > "$WORK/nginx.conf" <<EOF
daemon off;
worker_processes 2;
$USER_LINE
pid $WORK/nginx.pid;
error_log $WORK/error.log warn;
events { worker_connections 64; }
http {
  access_log off;
  client_body_temp_path $WORK/temp/body;
  proxy_temp_path $WORK/temp/proxy;
  fastcgi_temp_path $WORK/temp/fastcgi;
  uwsgi_temp_path $WORK/temp/uwsgi;
  scgi_temp_path $WORK/temp/scgi;
  default_type application/octet-stream;
  sendfile on;
  server {
    listen 127.0.0.1:$PORT;
    root $WORK/www;
    location /slow/ { alias $WORK/www/; limit_rate $RATE; }
    location ~ "^/[0-9a-f]{32}/(.+)\$" { alias $WORK/www/\$1; }
  }
}
EOF
"$NGINX" -p "$WORK/" -c "$WORK/nginx.conf" -e stderr 2>"$WORK/nginx.stderr" &
NGINX_PID=$!
tries=0
until curl -s -o /dev/null "http://127.0.0.1:$PORT/"; do
  tries=$((tries + 1))
  if [ $tries -ge 50 ]; then
    echo "nginx did not start:"
    cat "$WORK/nginx.stderr" "$WORK/error.log" 2>/dev/null || true
    exit 1
  fi
  sleep 0.1
done

# measure CASE NAME COMMAND...: one run, its key=value line into RESULTS.
measure() {
  group=$1
  name=$2
  shift 2
  line=$("$@" 2>/dev/null) || line="ok=0 $line"
  echo "$group|$name|$line" >> "$RESULTS"
}

# fetched NAME: the downloaded file must be the served one; then it goes.
fetched() {
  got=$(md5sum "$OUT" 2>/dev/null | cut -c1-32 || true)
  if [ "$got" != "$REF" ]; then
    echo "WRONG CONTENT from $1 (md5 '$got', expected $REF)"
    sed -i "\$s/ok=1/ok=0/" "$RESULTS"
  fi
  rm -f "$OUT" "$OUT.aria2" "${OUT}_0" "${OUT}_1" "$OUT.part"
}

transfers() {
  group=$1
  url=$2
  measure "$group" curl "$BENCH" exec curl -sS -o "$OUT" "$url"
  fetched curl
  if [ $HAVE_ARIA -eq 1 ]; then
    measure "$group" "aria2c -x2" "$BENCH" exec aria2c -q -x2 -s2 --allow-overwrite=true \
      --auto-file-renaming=false -d "$WORK" -o out.bin "$url"
    fetched aria2c
  fi
  measure "$group" "type 1 single" "$BENCH" fetch 1 "$url" "$OUT"
  fetched "type 1"
  measure "$group" "type 3 multi" "$BENCH" fetch 3 "$url" "$OUT"
  fetched "type 3"
  if [ "$group" != "${group#get}" ]; then
    measure "$group" "type 2 system" "$BENCH" fetch 2 "$url" "$OUT"
    fetched "type 2"
  fi
}

for size in ${BENCH_SIZES:-256 1024}; do
  file=$WORK/www/f$size.bin
  echo "== $size MiB: making the file"
  dd if=/dev/urandom of="$file" bs=1M count=$size status=none
  cat "$file" > /dev/null  # warm the page cache for every contender alike
  REF=$(md5sum "$file" | cut -c1-32)

  echo "== $size MiB: digest"
  measure "md5 $size" md5sum "$BENCH" exec md5sum "$file"
  measure "md5 $size" GetFileMd5 "$BENCH" md5 "$file"

  echo "== $size MiB: transfers"
  transfers "get $size" "http://127.0.0.1:$PORT/f$size.bin"

  echo "== $size MiB: whole attempts (MD5 in the address)"
  measure "whole $size" "type 1 single" "$BENCH" fetch 1 "http://127.0.0.1:$PORT/$REF/f$size.bin" "$OUT"
  fetched "type 1"
  measure "whole $size" "type 3 multi" "$BENCH" fetch 3 "http://127.0.0.1:$PORT/$REF/f$size.bin" "$OUT"
  fetched "type 3"

  if [ $size -eq 256 ]; then
    echo "== $size MiB: limit_rate $RATE per connection"
    transfers "rate $size" "http://127.0.0.1:$PORT/slow/f$size.bin"
  fi
  rm -f "$file"
done
echo "== free space after the runs"
df -h /tmp

echo
echo "== results (ratio = reference time / time; reference: curl for get/rate,"
echo "   md5sum for md5, curl + md5sum for whole; t-ratio uses the transfer phase)"
awk -F'|' '
function field(text, key,    n, i, parts, kv) {
  n = split(text, parts, " ")
  for (i = 1; i <= n; i++) { split(parts[i], kv, "="); if (kv[1] == key) return kv[2] }
  return ""
}
{
  group[NR] = $1; name[NR] = $2; text[NR] = $3
  wall[NR] = field($3, "wall") + 0
  if ($2 == "curl") curlWall[$1] = wall[NR]
  if ($2 == "md5sum") md5Wall[$1] = wall[NR]
}
END {
  printf "%-10s %-14s %3s %8s %8s %8s %8s %7s %7s %9s %7s %7s\n", "case", "tool", "ok", "wall_s", "cpu_s", "rss_MiB",
         "MiB/s", "ratio", "t-ratio", "transfer", "join", "digest"
  for (i = 1; i <= NR; i++) {
    split(group[i], g, " "); size = g[2] + 0
    ref = 0
    if (g[1] == "get" || g[1] == "rate") ref = curlWall[group[i]]
    if (g[1] == "md5") ref = md5Wall[group[i]]
    if (g[1] == "whole") ref = curlWall["get " size] + md5Wall["md5 " size]
    t = field(text[i], "transfer"); j = field(text[i], "join"); d = field(text[i], "digest")
    ratio = (wall[i] > 0 && ref > 0) ? sprintf("%.2f", ref / wall[i]) : "-"
    tratio = (t != "" && t + 0 > 0 && ref > 0 && g[1] != "whole") ? sprintf("%.2f", ref / t) : "-"
    printf "%-10s %-14s %3s %8.3f %8.3f %8.1f %8.1f %7s %7s %9s %7s %7s\n", group[i], name[i], field(text[i], "ok"),
           wall[i], field(text[i], "cpu"), field(text[i], "rss_kb") / 1024, (wall[i] > 0 ? size / wall[i] : 0),
           ratio, tratio, (t == "" ? "-" : t), (j == "" ? "-" : j), (d == "" ? "-" : d)
  }
}' "$RESULTS"
