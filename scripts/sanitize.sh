#!/usr/bin/env bash
# The logic libraries and their tests (no windows, no WebEngine) built with clang under
# AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/, with the fuzz targets beside
# them; then the tests run. Extra arguments go to ctest (e.g. -R FolderHistory).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DPAPYRANT_UI=OFF -DPAPYRANT_FUZZ=ON -DPAPYRANT_BUILD_TESTS=ON \
    -DPAPYRANT_WERROR="${PAPYRANT_WERROR:-OFF}" >/dev/null
cmake --build "$root/build-asan" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
# A finding stops its test with the report on its output.
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=0:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
cd "$root/build-asan"
ctest --output-on-failure --timeout 600 -j "$(nproc)" "$@"
