#!/bin/sh
# Builds and runs every test: a normal build, then an AddressSanitizer +
# UndefinedBehaviorSanitizer build. Any failure or sanitizer report fails.
set -eu
cd "$(dirname "$0")/.."
ROOT=$(pwd)

# run_suite BUILD_DIR SANITIZER [CTEST_ARGS...]
run_suite() {
  dir=$1
  sanitizer=$2
  shift 2
  echo "== build: $dir (sanitizer: ${sanitizer:-none})"
  scripts/setup.sh "$dir" "$sanitizer"
  echo "== tests: $dir"
  (cd "$dir" && ctest --output-on-failure -j 2 --timeout 600 "$@")
}

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$ROOT/tests/lsan.supp:print_suppressions=0"

export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$ROOT/tests/tsan.supp"

run_suite build ""
run_suite build-asan address
# The concurrent parts (threads, libcurl downloaders, coordinator) again
# under ThreadSanitizer; tests opt in with the label "tsan".
run_suite build-tsan thread -L tsan
echo "== all tests passed"
