#!/usr/bin/env bash
# Installs what is missing, configures, builds with all cores and runs every
# test and every fuzz harness, under AddressSanitizer and
# UndefinedBehaviorSanitizer. Arguments go to ctest (-R, -L, ...).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

# One instrumented build serves every test and every fuzz harness: clang with
# AddressSanitizer, UndefinedBehaviorSanitizer and the fuzzers' coverage
# hooks. "--asan" is accepted for habit's sake; the build is always
# instrumented. The plain optimised build in build/ is run.sh's.
if [ "${1:-}" = "--asan" ]; then shift; fi
BUILD="$QUILLOMAR_ROOT/build-test"
ARGS=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
      -DQUILLOMAR_ASAN=ON -DQUILLOMAR_FUZZ=ON
      -DQUILLOMAR_FUZZ_SECONDS="${QUILLOMAR_FUZZ_SECONDS:-5}")
export LSAN_OPTIONS="suppressions=$QUILLOMAR_ROOT/scripts/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

quillomar_install_missing
quillomar_configure "$BUILD" "${ARGS[@]}"
cmake --build "$BUILD" -j "$(quillomar_jobs)"

# Tests that open windows share one virtual X server with Mesa's software
# OpenGL; tests that make sound choose OpenAL Soft's output themselves. A
# server must not reset when its last client leaves: a test connecting
# during the reset would be refused. Xvfb picks a free display number itself
# (-displayfd), so several runs on one machine never share or race for a
# server. The tests that move the pointer get a second server of their own
# (QUILLOMAR_POINTER_DISPLAY), so that no other window takes their motion,
# and take turns on it.
export LIBGL_ALWAYS_SOFTWARE=1
XVFB_PIDS=()
XVFB_FILES=()
trap 'kill "${XVFB_PIDS[@]}" 2>/dev/null || true; rm -f "${XVFB_FILES[@]}"' EXIT
start_xvfb() {
  local file
  file="$(mktemp)"
  XVFB_FILES+=("$file")
  Xvfb -displayfd 3 -screen 0 1280x1024x24 +extension GLX -noreset -nolisten tcp 3>"$file" >/dev/null 2>&1 &
  XVFB_PIDS+=($!)
  for _ in $(seq 1 100); do
    [ -s "$file" ] && break
    sleep 0.1
  done
  if [ ! -s "$file" ]; then echo "Xvfb did not start" >&2; exit 1; fi
  XVFB_DISPLAY=":$(head -n1 "$file")"
}
start_xvfb
export DISPLAY="$XVFB_DISPLAY"
start_xvfb
export QUILLOMAR_POINTER_DISPLAY="$XVFB_DISPLAY"

cd "$BUILD"
# The fuzz harnesses run briefly among the tests (label "fuzz"), after
# their seed corpus is written.
ctest --output-on-failure -j "$(quillomar_jobs)" "$@"
