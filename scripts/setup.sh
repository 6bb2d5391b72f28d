#!/bin/sh
# Installs what the build and the tests need (only when missing), then
# configures and builds one tree.
#   scripts/setup.sh [BUILD_DIR] [SANITIZER]   SANITIZER: "", address, thread
set -eu
cd "$(dirname "$0")/.."
BUILD_DIR=${1:-build}
SANITIZER=${2:-}

PACKAGES="build-essential cmake ninja-build pkg-config libcurl4-openssl-dev libsoup-3.0-dev glib-networking
  googletest libgtest-dev libgmock-dev nginx-light openssl curl dbus-daemon"
missing=""
for p in $PACKAGES; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "setup: installing$missing"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=900 install -y -qq \
    --no-install-recommends $missing >/dev/null
fi

cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIM_SANITIZE="$SANITIZER" >/dev/null
cmake --build "$BUILD_DIR" -j 2
