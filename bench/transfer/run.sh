#!/usr/bin/env bash
# Transfers through quorral-till on loopback against their floor, measured in the same run with the
# gzip tool on the same data: an upload against compressing the file (the PC's own work), a
# download against compressing it (the till's work before it can announce a size) plus
# decompressing it (the PC's). Then the peak RSS of the PC side for a 1 GB transfer each way.
# Usage: bench/transfer/run.sh [build folder]. Scratch space: about 3 GB under $QUORRAL_BENCH_DIR.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
work=${QUORRAL_BENCH_DIR:-$(mktemp -d /tmp/quorral-transfer-bench.XXXXXX)}
mkdir -p "$work/till" "$work/pc"
till_pid=
cleanup() {
  [ -n "$till_pid" ] && kill "$till_pid" 2>/dev/null && wait "$till_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
driver=$build/bench/quorral_transfer_driver
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$build/tools/till/quorral-till" --root "$work/till" --port "$port" --no-discovery --quiet &
till_pid=$!
sleep 0.5

python3 - "$work" <<'PY'
import os, random, sys
work = sys.argv[1]
random.seed(7)
words = [bytes(random.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(random.randint(2, 9))) for _ in range(5000)]
with open(os.path.join(work, "compressible.bin"), "wb") as out:
    size = 0
    while size < 100 * 1024 * 1024:
        line = b" ".join(random.choice(words) for _ in range(12)) + b";%d\n" % size
        out.write(line)
        size += len(line)
with open(os.path.join(work, "random.bin"), "wb") as out:
    out.write(os.urandom(100 * 1024 * 1024))
PY

calc() { python3 -c "print($1)"; }
seconds() { local start end; start=$(date +%s.%N); "$@" >/dev/null; end=$(date +%s.%N); calc "$end - $start"; }
echo "| transfer | data | ours s | floor s | ratio |"
echo "|---|---|---|---|---|"
for data in compressible random; do
  file=$work/$data.bin
  up=$("$driver" up "$port" "$file" "$data.bin")
  floor_up=$(seconds sh -c "gzip -6 -c '$file' > /dev/null")
  printf '| upload | %s | %.2f | %.2f | %.2f |\n' "$data" "$up" "$floor_up" "$(calc "$up / $floor_up")"
  down=$("$driver" down "$port" "$work/pc/$data.bin" "$data.bin")
  cmp -s "$file" "$work/pc/$data.bin" || { echo "download of $data differs" >&2; exit 1; }
  floor_down=$(seconds sh -c "gzip -6 -c '$file' > '$work/floor.gz' && gzip -dc '$work/floor.gz' > /dev/null")
  printf '| download | %s | %.2f | %.2f | %.2f |\n' "$data" "$down" "$floor_down" "$(calc "$down / $floor_down")"
  rm -f "$work/floor.gz" "$work/pc/$data.bin" "$work/till/$data.bin"
done

peak() { /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ {print $2}'; }
for size in 256 1024; do
  head -c $((size * 1024 * 1024)) /dev/urandom >"$work/big.bin"
  up=$(peak "$driver" up "$port" "$work/big.bin" big.bin)
  down=$(peak "$driver" down "$port" "$work/pc/big.bin" big.bin)
  echo "peak RSS of the PC side, $size MB random: upload $up KiB, download $down KiB"
  rm -f "$work/big.bin" "$work/pc/big.bin" "$work/till/big.bin"
done
