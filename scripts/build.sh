#!/usr/bin/env bash
# Configures and builds one CMake preset, all of it or the targets named, on every core.
#   scripts/build.sh PRESET [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
preset=$1
shift
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)" ${1:+--target "$@"}
