#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test headless. Extra arguments go to ctest,
# for example: bash scripts/test.sh -L unit
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
cd "$root/build"
ctest --output-on-failure --timeout 600 -j "$(nproc)" "$@"
