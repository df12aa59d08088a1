#!/usr/bin/env bash
# Configures and builds plovex into a build folder, with clang (which builds
# it in about half the time GCC takes, and is what the tests build with)
# unless CXX names another compiler.
#   scripts/build.sh [BUILD_DIR] [extra cmake arguments...]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
dir="${1:-$root/build}"
shift || true
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER="${CXX:-clang++}" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
