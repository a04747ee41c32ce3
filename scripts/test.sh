#!/usr/bin/env bash
# Installs what is needed, builds, and runs every check headless (what CI runs):
#   1. the whole suite of build/ (GCC; warnings are errors when PAPYRANT_WERROR=ON, as in CI);
#   2. the logic tests under AddressSanitizer and UndefinedBehaviorSanitizer (clang, build-asan/);
#   3. every fuzz target for FUZZ_SECONDS (20) over its seed corpus;
#   4. the Debian package: made, installed into a temporary root, its program started;
#   5. the layout of every C++ file against .clang-format (the format-check target).
# With arguments, only step 1 runs and they go to ctest: bash scripts/test.sh -L unit
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh" run test || exit 1
export QT_QPA_PLATFORM=offscreen
werror=()
[ -n "${PAPYRANT_WERROR:-}" ] && werror=(-DPAPYRANT_WERROR="$PAPYRANT_WERROR")

suite() {
    bash "$root/scripts/build.sh" -DPAPYRANT_BUILD_TESTS=ON "${werror[@]}" &&
        (cd "$root/build" && ctest --output-on-failure --timeout 600 -j "$(nproc)" "$@")
}
if [ $# -gt 0 ]; then
    suite "$@"
    exit
fi

passed=0
failed=0
stage() {
    local name=$1
    shift
    local start=$SECONDS
    echo "=== $name"
    if "$@"; then
        passed=$((passed + 1))
        echo "=== $name: passed in $((SECONDS - start)) s"
    else
        failed=$((failed + 1))
        echo "=== $name: FAILED after $((SECONDS - start)) s"
    fi
}
stage "suite" suite
stage "sanitizers" bash "$root/scripts/sanitize.sh"
stage "fuzzing" bash "$root/scripts/fuzz.sh" "${FUZZ_SECONDS:-20}" "$root/build-asan"
stage "package" bash "$root/scripts/package-test.sh"
stage "format" cmake --build "$root/build" --target format-check
echo "stages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
