#!/usr/bin/env bash
# Installs what is missing, configures, builds with all cores and runs every
# test. "--asan" does the same with AddressSanitizer and
# UndefinedBehaviorSanitizer in a build folder of its own.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

BUILD="$QUILLOMAR_ROOT/build"
ARGS=(-DCMAKE_BUILD_TYPE=Release)
FUZZ=1
if [ "${1:-}" = "--asan" ]; then
  FUZZ=0
  BUILD="$QUILLOMAR_ROOT/build-asan"
  ARGS=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLOMAR_ASAN=ON)
  export LSAN_OPTIONS="suppressions=$QUILLOMAR_ROOT/scripts/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
  shift
fi

quillomar_install_missing
quillomar_configure "$BUILD" "${ARGS[@]}"
cmake --build "$BUILD" -j "$(quillomar_jobs)"

# Tests that open windows share one virtual X server with Mesa's software
# OpenGL; tests that make sound choose OpenAL Soft's output themselves. The
# server must not reset when its last client leaves: a test connecting
# during the reset would be refused. Xvfb picks a free display number itself (-displayfd), so several runs on one
# machine never share or race for a server.
export LIBGL_ALWAYS_SOFTWARE=1
DISPLAY_FILE="$(mktemp)"
Xvfb -displayfd 3 -screen 0 1280x1024x24 +extension GLX -noreset -nolisten tcp 3>"$DISPLAY_FILE" >/dev/null 2>&1 &
XVFB_PID=$!
trap 'kill $XVFB_PID 2>/dev/null || true; rm -f "$DISPLAY_FILE"' EXIT
for _ in $(seq 1 100); do
  [ -s "$DISPLAY_FILE" ] && break
  sleep 0.1
done
if [ ! -s "$DISPLAY_FILE" ]; then echo "Xvfb did not start" >&2; exit 1; fi
export DISPLAY=":$(head -n1 "$DISPLAY_FILE")"

cd "$BUILD"
ctest --output-on-failure -j "$(quillomar_jobs)" "$@"

# The fuzz harnesses (clang) run briefly after a full plain run; a run
# narrowed by ctest arguments, an --asan run or QUILLOMAR_SKIP_FUZZ=1 skips them.
if [ "$FUZZ" = 1 ] && [ $# -eq 0 ] && [ "${QUILLOMAR_SKIP_FUZZ:-0}" != 1 ]; then
  "$QUILLOMAR_ROOT/scripts/fuzz.sh"
fi
