#!/usr/bin/env bash
# Installs what is missing, configures, builds with all cores and runs every
# test. "--asan" does the same with AddressSanitizer and
# UndefinedBehaviorSanitizer in a build folder of its own.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

BUILD="$QUILLOMAR_ROOT/build"
ARGS=(-DCMAKE_BUILD_TYPE=Release)
if [ "${1:-}" = "--asan" ]; then
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
# during the reset would be refused.
export LIBGL_ALWAYS_SOFTWARE=1
cd "$BUILD"
xvfb-run -a -s "-screen 0 1280x1024x24 +extension GLX -noreset" \
  ctest --output-on-failure -j "$(quillomar_jobs)" "$@"
