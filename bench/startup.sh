#!/usr/bin/env bash
# Start-up figures under Xvfb, against the fixture site, compared in the same run with headless
# Chromium loading the same page (the floor of the engine):
#   cover_shown_ms                 process start to the cover painted (median)
#   search_ready_vs_engine_floor   process start to the home page loaded in the search window,
#                                  over Chromium's start-to-loaded time for that page (medians)
#   rss_MB_search_window_idle      resident memory of the program's processes together, search
#                                  window open and idle (median)
# RUNS=<n> sets the number of runs (default 5), BUILD=<dir> the build tree.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build}
runs=${RUNS:-5}

# Chromium is the benchmark's own need, not the program's: it is in the [bench] packages.
ROOT=$root BUILD=$build . "$root/bench/setup.sh"
cmake --build "$build" --target startup_bench fixture_site >/dev/null

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A display of our own on a free number, and the fixture site on a free port.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
"$build/tests/fixture_site" >"$work/site" &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/site" ] && break; sleep 0.1; done
base=$(head -1 "$work/site")
export PAPYRANT_SERVICE_BASE=$base
unset QT_QPA_PLATFORM

median() { sort -n | awk '{v[NR]=$1} END {if (NR%2) print v[(NR+1)/2]; else printf "%.1f\n", (v[NR/2]+v[NR/2+1])/2}'; }
value() { awk -v k="$1:" '$1==k {print $2}' "$2"; }

chrome_flags=(--headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking
              --disable-component-update --disable-sync)
for i in $(seq "$runs"); do
    # The program with a fresh profile and settings each time, as Chromium gets.
    run="$work/run$i"
    mkdir -p "$run/config" "$run/data" "$run/cache" "$run/chromium"
    XDG_CONFIG_HOME="$run/config" XDG_DATA_HOME="$run/data" XDG_CACHE_HOME="$run/cache" \
        STARTUP_T0_US=$(( ${EPOCHREALTIME/./} )) "$build/bench/startup_bench" >"$run/program" 2>/dev/null
    t0=${EPOCHREALTIME/./}
    chromium "${chrome_flags[@]}" --user-data-dir="$run/chromium" --dump-dom "$base/" >/dev/null 2>&1
    t1=${EPOCHREALTIME/./}
    awk -v a="$t0" -v b="$t1" 'BEGIN {printf "%.1f\n", (b - a) / 1000}' >"$run/chromium_ms"
done

for i in $(seq "$runs"); do value cover_shown_ms "$work/run$i/program"; done | median >"$work/cover"
for i in $(seq "$runs"); do value search_ready_ms "$work/run$i/program"; done | median >"$work/search"
for i in $(seq "$runs"); do cat "$work/run$i/chromium_ms"; done | median >"$work/floor"
for i in $(seq "$runs"); do value rss_MB_search_window_idle "$work/run$i/program"; done | median >"$work/rss"
for i in $(seq "$runs"); do value pss_MB_search_window_idle "$work/run$i/program"; done | median >"$work/pss"

echo "cover_shown_ms: $(cat "$work/cover")"
echo "search_ready_vs_engine_floor: $(awk -v a="$(cat "$work/search")" -v b="$(cat "$work/floor")" 'BEGIN {printf "%.2f\n", a / b}')"
echo "rss_MB_search_window_idle: $(cat "$work/rss")"
# The parts of the ratio, and the memory counting each page shared between the processes once
# (proportional set size) rather than once per process.
echo "search_ready_ms: $(cat "$work/search")"
echo "engine_floor_ms: $(cat "$work/floor")"
echo "pss_MB_search_window_idle: $(cat "$work/pss")"
