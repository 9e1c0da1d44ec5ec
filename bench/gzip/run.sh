#!/usr/bin/env bash
# Figures for the gzip file codec: speed against the gzip tool on the same 100 MB files in the same
# run, and peak memory of a 1 GB round trip. Usage: bench/gzip/run.sh [build folder]
# Needs a build with QUORRAL_BUILD_BENCH (targets quorral_gzip_bench, quorral_gzip_roundtrip),
# the gzip tool, GNU time (/usr/bin/time) and python3. Scratch files go to $QUORRAL_BENCH_DIR
# (default: a new folder under /tmp), about 1.5 GB at the peak; they are removed afterwards.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
work=${QUORRAL_BENCH_DIR:-$(mktemp -d /tmp/quorral-gzip-bench.XXXXXX)}
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
export QUORRAL_BENCH_DIR=$work

"$build/bench/quorral_gzip_bench" --benchmark_format=json --benchmark_out="$work/result.json" \
  --benchmark_out_format=json >/dev/null

python3 - "$work/result.json" <<'PY'
import json, sys
runs = {b["name"].split("/iterations")[0]: b for b in json.load(open(sys.argv[1]))["benchmarks"]}
size_mb = 100.0
print("| operation | data | ours ms | ours MB/s | gzip tool ms | tool MB/s | time ratio ours/tool |")
print("|---|---|---|---|---|---|---|")
for op, ours, tool in (("compress", "BM_GzipFile", "BM_GzipTool"), ("decompress", "BM_GunzipFile", "BM_GunzipTool")):
    for arg, label in (("1", "compressible"), ("0", "random")):
        a = runs[f"{ours}/compressible:{arg}"]["real_time"]
        b = runs[f"{tool}/compressible:{arg}"]["real_time"]
        print(f"| {op} | {label} | {a:.0f} | {size_mb / a * 1000:.1f} | {b:.0f} | {size_mb / b * 1000:.1f} | {a / b:.2f} |")
PY

# 1 GB of record data: the 100 MB file ten times over.
for _ in $(seq 10); do cat "$work/compressible.bin"; done >"$work/big.bin"
rm -f "$work"/random.bin* "$work"/ours.* "$work"/tool.*
peak() { /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ {print $2}'; }
ours=$(peak "$build/bench/quorral_gzip_roundtrip" "$work/big.bin" "$work")
tool_c=$(peak sh -c "gzip -6 -c '$work/big.bin' > '$work/big.gz'")
tool_d=$(peak sh -c "gzip -dc '$work/big.gz' > '$work/big.out'")
echo
echo "peak RSS, 1 GB round trip (GzipFile then GunzipFile, one process): $ours KiB"
echo "peak RSS, gzip tool: compress $tool_c KiB, decompress $tool_d KiB"
