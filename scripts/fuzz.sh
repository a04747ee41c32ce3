#!/usr/bin/env bash
# Runs every fuzz target (tests/fuzz/*_fuzz.cpp) for the given number of seconds, over its seed
# corpus tests/fuzz/corpus/<name>/, two at a time. Needs a build with -DPAPYRANT_FUZZ=ON
# (scripts/test.sh makes one in build-asan/). New inputs the fuzzer finds go to
# <build>/fuzz/corpus/<name>/, never into the seeds; a finding is saved as
# <build>/fuzz/findings/<name>-crash-..., and the script then fails.
#   bash scripts/fuzz.sh 20                     every target, 20 seconds each (CI)
#   bash scripts/fuzz.sh 600 build-asan sniff   one target, ten minutes
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:?"usage: fuzz.sh SECONDS [BUILD_DIR] [TARGET...]"}
build=${2:-$root/build-asan}
shift $(($# < 2 ? $# : 2))
jobs=${FUZZ_JOBS:-2}
# The targets write their inputs to scratch files: on a memory file system that costs no disk.
[ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm

if [ $# -gt 0 ]; then
    targets=("$@")
else
    mapfile -t targets < <(cd "$root/tests/fuzz" && ls *_fuzz.cpp | sed 's/_fuzz\.cpp$//')
fi
mkdir -p "$build/fuzz/findings" "$build/fuzz/logs"

run() {
    local name=$1
    local binary="$build/tests/fuzz/${name}_fuzz"
    local log="$build/fuzz/logs/$name.log"
    mkdir -p "$build/fuzz/corpus/$name"
    if [ ! -x "$binary" ]; then
        echo "fuzz $name: no binary at $binary" >&2
        return 1
    fi
    # Nice: the fuzzers share the machine with builds and other people's work.
    if nice -n 19 "$binary" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$build/fuzz/findings/$name-" \
        "$build/fuzz/corpus/$name" "$root/tests/fuzz/corpus/$name" >"$log" 2>&1; then
        echo "fuzz $name: ${seconds}s, $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$') runs, nothing found"
    else
        echo "fuzz $name: FINDING (log: $log)"
        grep -E -m5 'ERROR|invariant broken|runtime error|Test unit written' "$log" || tail -20 "$log"
        return 1
    fi
}

failed=0
running=0
for name in "${targets[@]}"; do
    if [ $running -ge "$jobs" ]; then
        wait -n || failed=1
        running=$((running - 1))
    fi
    run "$name" &
    running=$((running + 1))
done
while [ $running -gt 0 ]; do
    wait -n || failed=1
    running=$((running - 1))
done
[ $failed -eq 0 ] && echo "fuzz: ${#targets[@]} targets, ${seconds}s each, no findings"
exit $failed
