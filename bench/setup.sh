# Sourced by the benchmark scripts (ROOT and BUILD set): installs the packages of the benchmarks
# ([run], [test] and [bench] of scripts/debian-packages.txt) and configures BUILD with the
# benchmarks, which build only when asked.
bash "$ROOT/scripts/install-deps.sh" run test bench >&2
[ -f "$BUILD/CMakeCache.txt" ] ||
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake -S "$ROOT" -B "$BUILD" -DPAPYRANT_BUILD_TESTS=ON -DPAPYRANT_BUILD_BENCH=ON >/dev/null
