#!/usr/bin/env bash
# Fleet push: one file to many simulated tills on loopback, with quorral-cli serving --jobs tills at
# once against the same pushes one till after another (--jobs 1), in the same run. Prints both times
# (best of REPEAT) and the speed-up, and checks every till received the file intact.
#
#   bench/cli/run.sh [BUILD_DIR]        BUILD_DIR holds tools/cli/quorral-cli and tools/till/quorral-till
#
# Environment: TILLS (50), SIZE_MB (10), JOBS (16), REPEAT (3), DATA (text: a price list that gzip
# shrinks as it does real till files; random: incompressible bytes).
set -euo pipefail

build=${1:-build}
tills=${TILLS:-50}
size_mb=${SIZE_MB:-10}
jobs=${JOBS:-16}
repeat=${REPEAT:-3}
data=${DATA:-text}
cli="$build/tools/cli/quorral-cli"
till="$build/tools/till/quorral-till"
for program in "$cli" "$till"; do
    [[ -x $program ]] || { echo "missing $program: build quorral-cli and quorral-till first" >&2; exit 2; }
done

work=$(mktemp -d)
pids=()
cleanup() {
    # Only the tills this script started, each by its own PID.
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

for ((n = 0; n < tills; n++)); do
    mkdir -p "$work/till-$n"
    "$till" --root "$work/till-$n" --host 127.0.0.1 --port 0 --no-discovery 2>"$work/till-$n.log" &
    pids+=($!)
done
: >"$work/hosts.txt"
for ((n = 0; n < tills; n++)); do
    port=""
    for ((attempt = 0; attempt < 100; attempt++)); do
        port=$(grep -o ' port [0-9]*' "$work/till-$n.log" | head -1 | tr -dc '0-9' || true)
        [[ -z $port ]] || break
        sleep 0.05
    done
    [[ -n $port ]] || { echo "till $n did not start:" >&2; cat "$work/till-$n.log" >&2; exit 1; }
    echo "127.0.0.1:$port" >>"$work/hosts.txt"
done

source_file="$work/prices.csv"
bytes=$((size_mb * 1024 * 1024))
if [[ $data == random ]]; then
    head -c "$bytes" /dev/urandom >"$source_file"
else
    awk -v bytes="$bytes" 'BEGIN {
        seed = 12345; total = 0
        while (total < bytes) {
            seed = (seed * 69069 + 1) % 4294967296
            line = sprintf("SKU%07d;Item %d, shelf %d;%d.%02d;%d;EUR\r\n", seed % 10000000, seed % 99991,
                           seed % 97, seed % 500, seed % 100, seed % 1000)
            printf "%s", line; total += length(line)
        }
    }' >"$source_file"
    truncate -s "$bytes" "$source_file"
fi
gzip_bytes=$(gzip -c "$source_file" | wc -c)

now() { date +%s.%N; }

# One push to every till; prints the seconds it took and the CPU seconds quorral-cli used (user and
# system), and checks what arrived.
push() {
    local jobs=$1
    for ((n = 0; n < tills; n++)); do rm -f "$work/till-$n/prices.csv"; done
    local start end
    start=$(now)
    /usr/bin/time -f '%U %S' -o "$work/cpu.txt" \
        "$cli" --hosts "$work/hosts.txt" --jobs "$jobs" --no-progress put "$source_file" >"$work/summary.txt" || {
        echo "the push with --jobs $jobs failed:" >&2
        cat "$work/summary.txt" >&2
        exit 1
    }
    end=$(now)
    for ((n = 0; n < tills; n++)); do
        cmp -s "$source_file" "$work/till-$n/prices.csv" || { echo "till $n got a different file" >&2; exit 1; }
    done
    echo "$(echo "$end - $start" | bc -l) $(awk '{ print $1 + $2 }' "$work/cpu.txt")"
}

best_parallel=""
best_serial=""
for ((round = 1; round <= repeat; round++)); do
    # Alternating the order keeps warm caches from favouring one side.
    if ((round % 2 == 1)); then
        read -r serial serial_cpu < <(push 1)
        read -r parallel parallel_cpu < <(push "$jobs")
    else
        read -r parallel parallel_cpu < <(push "$jobs")
        read -r serial serial_cpu < <(push 1)
    fi
    [[ -n $serial && -n $parallel ]] || exit 1
    printf 'round %d: --jobs %d %.2f s (%.2f CPU s), --jobs 1 %.2f s (%.2f CPU s), load %s\n' "$round" "$jobs" \
        "$parallel" "$parallel_cpu" "$serial" "$serial_cpu" "$(cut -d' ' -f1 /proc/loadavg)"
    if [[ -z $best_parallel ]] || (($(echo "$parallel < $best_parallel" | bc -l))); then best_parallel=$parallel; fi
    if [[ -z $best_serial ]] || (($(echo "$serial < $best_serial" | bc -l))); then best_serial=$serial; fi
done

printf '\n%d tills on loopback, %d MB %s file (%d bytes of gzip data each), %d CPUs, best of %d\n' \
    "$tills" "$size_mb" "$data" "$gzip_bytes" "$(nproc)" "$repeat"
printf '  --jobs %-3d %8.2f s\n' "$jobs" "$best_parallel"
printf '  --jobs 1   %8.2f s\n' "$best_serial"
printf '  speed-up   %8.2fx\n' "$(echo "$best_serial / $best_parallel" | bc -l)"
