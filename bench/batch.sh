#!/usr/bin/env bash
# Batch benchmark: 1,000 files of 100 KB (each starting with the PDF signature) from a local
# nginx on 127.0.0.1, fetched in the same run by the engine (the real scheduler with method two
# and with method one, sniffing and the rename rule; batch_bench) and by `aria2c -j6 -i list`
# and `wget -i list` (and, for reference, `curl --parallel` with six transfers). Every saved
# file is checked byte for byte against its source.
# Then the engine's growth with the batch: method two on 1,000 and on 10,000 files of 10 KB, each
# into an empty folder that fills as the batch runs.
# The same batch then runs through the download window itself under Xvfb, shown and hidden
# (batchwindow_bench), and the window shown takes 100,000 queue rows (windowrows_bench).
# Prints "name: value" lines. Usage: bash bench/batch.sh   (BUILD=<build dir>, RUNS=<n>)
# Installs nginx, aria2, wget, python3 and xvfb (scripts/debian-packages.txt) when missing.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
RUNS=${RUNS:-5}
FILES=1000
BENCH=$BUILD/bench/batch_bench

. "$ROOT/bench/setup.sh"
cmake --build "$BUILD" --target batch_bench batchwindow_bench windowrows_bench >/dev/null

WORK=$(mktemp -d)
NGINX_PID=
XVFB_PID=
cleanup() {
    [ -n "$NGINX_PID" ] && kill "$NGINX_PID" 2>/dev/null || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT
chmod 755 "$WORK"
mkdir -p "$WORK/www" "$WORK/out"

# make_files <folder> <count> <bytes> <name digits>: "%PDF-1.4" and a line end, random bytes,
# and the "%%EOF" end marker of a whole PDF; named 0001.pdf... (as many digits as asked).
make_files() {
    mkdir -p "$1"
    python3 - "$@" <<'EOF'
import os, sys
folder, count, size, digits = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
for i in range(1, count + 1):
    with open(os.path.join(folder, "%0*d.pdf" % (digits, i)), "wb") as f:
        f.write(b"%PDF-1.4\n" + os.urandom(size - 9 - 6) + b"%%EOF\n")
EOF
    chmod 644 "$1/"*.pdf
}
# The first batch: 102,400 bytes each.
make_files "$WORK/www" "$FILES" 102400 4

. "$ROOT/bench/localnginx.sh"
PORT=$(free_port)
start_local_nginx "$WORK" "$PORT" "$WORK/www" "application/pdf pdf;"

BASE="http://127.0.0.1:$PORT"
for i in $(seq -f '%04g' 1 "$FILES"); do echo "$BASE/$i.pdf"; done > "$WORK/list"
# The same list for curl, which names each output itself.
for i in $(seq -f '%04g' 1 "$FILES"); do
    printf 'url = "%s/%s.pdf"\noutput = "%s/out/%s.pdf"\n' "$BASE" "$i" "$WORK" "$i"
done > "$WORK/curl.config"
for _ in $(seq 50); do
    wget -q -O /dev/null "$BASE/0001.pdf" && break
    sleep 0.1
done

export QT_QPA_PLATFORM=offscreen
now_ms() { date +%s%3N; }
fresh_out() { rm -rf "$WORK/out"; mkdir -p "$WORK/out"; }
same_files() { # the tool's folder holds exactly the source files, byte for byte
    diff -rq "$WORK/www" "$WORK/out" >&2 || { echo "$1: saved files differ from the sources" >&2; exit 1; }
}
tool_ms() { # name command...
    local name=$1 start end
    shift
    fresh_out
    start=$(now_ms)
    "$@" >/dev/null 2>&1
    end=$(now_ms)
    same_files "$name"
    echo $((end - start))
}
# label program mode [list source count fields]: a batch program's time (or the fields named,
# space-separated), once every file came whole
batch_ms() {
    local label=$1 program=$2 mode=$3 list=${4:-$WORK/list} source=${5:-$WORK/www}
    local count=${6:-$FILES} fields=${7:-ms} result field
    fresh_out
    result=$("$program" "$mode" "$list" "$source" "$WORK/out")
    field() { awk -v f="$1" -F': ' '$1 == f { print $2 }' <<< "$result"; }
    if [ "$(field finished)" != "$count" ] || [ "$(field identical)" != "$count" ]; then
        echo "$label $mode: $(tr '\n' ' ' <<< "$result")" >&2
        exit 1
    fi
    local out=() f
    for f in $fields; do out+=("$(field "$f")"); done
    echo "${out[*]}"
}
engine_ms() { batch_ms engine "$BENCH" "$1"; } # method1|method2

# Paired runs (tool, engine back to back) so that the load of a shared machine weighs on both
# alike; each figure is the median of the runs' ratios.
: > "$WORK/runs"
for _ in $(seq "$RUNS"); do
    aria=$(tool_ms aria2c aria2c -j6 -i "$WORK/list" -d "$WORK/out")
    m2=$(engine_ms method2)
    wg=$(tool_ms wget wget -q -i "$WORK/list" -P "$WORK/out")
    m1=$(engine_ms method1)
    cu=$(tool_ms curl curl --parallel --parallel-max 6 -s -K "$WORK/curl.config")
    echo "$aria $m2 $wg $m1 $cu" >> "$WORK/runs"
done

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
column() { awk -v c="$1" '{ print $c }' "$WORK/runs" | median; }
ratios() { awk -v a="$1" -v b="$2" '{ printf "%.3f\n", $a / $b }' "$WORK/runs"; }
spread() { ratios "$1" "$2" | sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%.2f-%.2f", lo, hi }'; }

echo "aria2c_ms_1000x100KB: $(column 1)"
echo "method2_ms_1000x100KB: $(column 2)"
echo "wget_ms_1000x100KB: $(column 3)"
echo "method1_ms_1000x100KB: $(column 4)"
echo "curl_parallel_ms_1000x100KB: $(column 5)"
printf 'batch_method2_vs_aria2c_1000x100KB: %.2f\n' "$(ratios 2 1 | median)"
printf 'batch_method1_vs_wget_1000x100KB: %.2f\n' "$(ratios 4 3 | median)"
echo "batch_method2_vs_aria2c_range: $(spread 2 1)"
echo "batch_method1_vs_wget_range: $(spread 4 3)"

# Growth: 10,000 files of 10 KB and the first 1,000 of them, served from a folder below the
# first batch's (the tools are done with that one). Work that stays the same per file (no scan
# of the save folder per name) gives a ratio of about 10. Which batch of a pair goes first
# alternates; the processor time of each batch is shown beside, as the load of a shared machine
# weighs less on it than on the wall time.
make_files "$WORK/www/small" 10000 10240 5
for i in $(seq -f '%05g' 1 10000); do echo "$BASE/small/$i.pdf"; done > "$WORK/list10000"
head -n 1000 "$WORK/list10000" > "$WORK/list1000"
growth() { batch_ms growth "$BENCH" method2 "$WORK/list$1" "$WORK/www/small" "$1" "ms cpu_ms"; }
: > "$WORK/growth_runs"
for run in $(seq "$RUNS"); do
    if [ $((run % 2)) -eq 1 ]; then
        small=$(growth 1000)
        large=$(growth 10000)
    else
        large=$(growth 10000)
        small=$(growth 1000)
    fi
    echo "$small $large" >> "$WORK/growth_runs" # ms cpu ms cpu
done
growth_column() { awk -v c="$1" '{ print $c }' "$WORK/growth_runs" | median; }
growth_ratios() { awk -v a="$1" -v b="$2" '{ printf "%.3f\n", $a / $b }' "$WORK/growth_runs"; }
echo "method2_ms_1000x10KB: $(growth_column 1)"
echo "method2_ms_10000x10KB: $(growth_column 3)"
printf 'batch_10000_vs_1000_x10KB: %.2f\n' "$(growth_ratios 3 1 | median)"
echo "batch_10000_vs_1000_range: $(growth_ratios 3 1 | sort -g \
    | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%.2f-%.2f", lo, hi }')"
printf 'batch_10000_vs_1000_cpu_x10KB: %.2f\n' "$(growth_ratios 4 2 | median)"

# The window figures, on a display of their own: Xvfb picks a free display number and tells it.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3> "$WORK/display" 2>/dev/null &
XVFB_PID=$!
for _ in $(seq 100); do
    [ -s "$WORK/display" ] && break
    sleep 0.1
done
[ -s "$WORK/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$WORK/display")" QT_QPA_PLATFORM=xcb
# The window's settings and runtime files stay in the work folder.
export XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
window_ms() { batch_ms window "$BUILD/bench/batchwindow_bench" "$1"; } # shown|hidden
: > "$WORK/window_runs"
for run in $(seq "$RUNS"); do
    # Which goes first alternates, so that neither always meets a warmer cache.
    if [ $((run % 2)) -eq 1 ]; then
        shown=$(window_ms shown)
        hidden=$(window_ms hidden)
    else
        hidden=$(window_ms hidden)
        shown=$(window_ms shown)
    fi
    echo "$shown $hidden" >> "$WORK/window_runs"
done
window_column() { awk -v c="$1" '{ print $c }' "$WORK/window_runs" | median; }
echo "window_shown_ms_1000x100KB: $(window_column 1)"
echo "window_hidden_ms_1000x100KB: $(window_column 2)"
printf 'batch_window_shown_vs_hidden: %.2f\n' \
    "$(awk '{ printf "%.3f\n", $1 / $2 }' "$WORK/window_runs" | median)"
echo "batch_window_shown_vs_hidden_range: $(awk '{ printf "%.3f\n", $1 / $2 }' "$WORK/window_runs" \
    | sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%.2f-%.2f", lo, hi }')"
"$BUILD/bench/windowrows_bench"
