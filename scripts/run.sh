#!/usr/bin/env bash
# The same set-up as test.sh, then starts the game with the arguments given.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

BUILD="$QUILLOMAR_ROOT/build"
quillomar_install_missing
quillomar_configure "$BUILD" -DCMAKE_BUILD_TYPE=Release
cmake --build "$BUILD" -j "$(quillomar_jobs)" --target quillomar

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24 +extension GLX" "$BUILD/quillomar" "$@"
fi
exec "$BUILD/quillomar" "$@"
