#!/usr/bin/env bash
# Builds the libFuzzer harnesses in the instrumented build that test.sh
# uses (build-test), writes their seed corpus and runs only them, each for a
# few seconds (QUILLOMAR_FUZZ_SECONDS, default 5). Longer runs are by hand:
# build-test/fuzz/<harness> -max_total_time=600 build-test/fuzz/corpus/<harness>.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

if ! command -v clang++ >/dev/null 2>&1; then
  echo "clang++ not found: fuzz harnesses not built"
  exit 0
fi

BUILD="$QUILLOMAR_ROOT/build-test"
quillomar_configure "$BUILD" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLOMAR_ASAN=ON -DQUILLOMAR_FUZZ=ON \
  -DQUILLOMAR_FUZZ_SECONDS="${QUILLOMAR_FUZZ_SECONDS:-5}"
cmake --build "$BUILD" -j "$(quillomar_jobs)" --target fuzzers
cd "$BUILD"
ctest -L fuzz --output-on-failure -j "$(quillomar_jobs)"
