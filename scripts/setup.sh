#!/usr/bin/env bash
# Installs what the build needs on a Debian machine (only what is missing)
# and configures a build folder. Sourced by test.sh and run.sh.
set -euo pipefail

QUILLOMAR_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PACKAGES=(g++ clang lld ccache cmake ninja-build pkg-config googletest libgtest-dev libbenchmark-dev
          libsdl1.2-dev libopenal-dev libmojoshader-dev libvorbis-dev
          xvfb xauth libgl1-mesa-dri libgl1-mesa-dev)

quillomar_install_missing() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then return 0; fi
  echo "Installing: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

# quillomar_configure <build dir> [cmake args...]
quillomar_configure() {
  local dir="$1"; shift
  cmake -S "$QUILLOMAR_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
}

quillomar_jobs() {
  nproc 2>/dev/null || echo 2
}
