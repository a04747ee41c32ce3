#!/usr/bin/env bash
# Transfer benchmark: a local nginx on 127.0.0.1 serves generated files; the engine (method one,
# and one Downloader for method two) and curl fetch the same files in the same run. A tiny
# server that stalls after the first bytes serves the CPU-while-stalled figure.
# Prints "name: value" lines. Usage: bash bench/transfer.sh   (BUILD=<build dir>, RUNS=<n>)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
RUNS=${RUNS:-5}
BENCH=$BUILD/bench/transfer_bench
. "$ROOT/bench/setup.sh"
cmake --build "$BUILD" --target transfer_bench >/dev/null
command -v nginx >/dev/null || { echo "nginx is needed (Debian package nginx)" >&2; exit 1; }
command -v curl >/dev/null || { echo "curl is needed" >&2; exit 1; }

WORK=$(mktemp -d)
NGINX_PID=
STALL_PID=
cleanup() {
    [ -n "$NGINX_PID" ] && kill "$NGINX_PID" 2>/dev/null || true
    [ -n "$STALL_PID" ] && kill "$STALL_PID" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT
chmod 755 "$WORK"
mkdir -p "$WORK/www" "$WORK/out"

head -c $((1 << 20)) /dev/urandom > "$WORK/www/1MB.bin"
head -c $((256 << 20)) /dev/urandom > "$WORK/www/256MB.bin"
chmod 644 "$WORK/www/"*.bin

. "$ROOT/bench/localnginx.sh"
PORT=$(free_port)
STALL_PORT=$(free_port)
start_local_nginx "$WORK" "$PORT" "$WORK/www" "application/octet-stream bin;"

# Answers with a length of 1 MB, sends 1000 bytes and then nothing while keeping the connection.
python3 - "$STALL_PORT" <<'EOF' &
import socket, sys, threading, time
srv = socket.socket(); srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
srv.bind(("127.0.0.1", int(sys.argv[1]))); srv.listen(8)
def serve(c):
    c.recv(65536)
    c.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
              b"Content-Length: 1048576\r\n\r\n" + b"x" * 1000)
    time.sleep(600)
while True:
    c, _ = srv.accept()
    threading.Thread(target=serve, args=(c,), daemon=True).start()
EOF
STALL_PID=$!

for _ in $(seq 50); do
    curl -s -o /dev/null "http://127.0.0.1:$PORT/1MB.bin" && break
    sleep 0.1
done

BASE="http://127.0.0.1:$PORT"
export QT_QPA_PLATFORM=offscreen

curl_ms() {
    rm -f "$WORK/out/"*
    curl -s -o "$WORK/out/curl.bin" -w '%{time_total}' "$BASE/$1" | awk '{printf "%d", $1 * 1000}'
}
engine() { # mode file field
    rm -f "$WORK/out/"*
    "$BENCH" "$1" "$BASE/$2" "$WORK/out" | awk -v f="$3" -F': ' '$1 == f { print $2 }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Paired runs (curl, method one, method two back to back) so that the load of a shared machine
# weighs on all three alike; each figure is the median of the runs' ratios.
: > "$WORK/runs"
for _ in $(seq "$RUNS"); do
    echo "$(curl_ms 256MB.bin) $(engine method1 256MB.bin ms) $(engine method2 256MB.bin ms)" >> "$WORK/runs"
done
best_curl=$(awk '{ print $1 }' "$WORK/runs" | median)
best_m1=$(awk '{ print $2 }' "$WORK/runs" | median)
best_m2=$(awk '{ print $3 }' "$WORK/runs" | median)
ratio_m1=$(awk '{ printf "%.3f\n", $2 / $1 }' "$WORK/runs" | median)
ratio_m2=$(awk '{ printf "%.3f\n", $3 / $1 }' "$WORK/runs" | median)

rss_small=$( (engine method1 1MB.bin peak_rss_kb; engine method2 1MB.bin peak_rss_kb) | sort -n | tail -1)
rss_large=$( (engine method1 256MB.bin peak_rss_kb; engine method2 256MB.bin peak_rss_kb) | sort -n | tail -1)

stall() {
    rm -f "$WORK/out/"*
    "$BENCH" "$1" "http://127.0.0.1:$STALL_PORT/stall.bin" "$WORK/out" 5000 |
        awk -F': ' '$1 == "cpu_percent" { print $2 }'
}
cpu=$( (stall stall1; stall stall2) | sort -n | tail -1)

echo "curl_ms_256MB: $best_curl"
echo "method1_ms_256MB: $best_m1"
echo "method2_ms_256MB: $best_m2"
printf 'method1_vs_curl_256MB: %.2f\n' "$ratio_m1"
printf 'method2_vs_curl_256MB: %.2f\n' "$ratio_m2"
awk -v a="$rss_large" -v b="$rss_small" 'BEGIN { printf "rss_growth_MB_1MB_to_256MB: %.1f\n", (a - b) / 1024 }'
echo "cpu_percent_during_stall: $cpu"
