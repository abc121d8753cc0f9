#!/usr/bin/env bash
# Builds the benchmark, generates its three trees once (30k, 100k and 300k files) and times every
# walker on them with a warm cache, then on the largest with cold caches where the machine allows.
# Trees go to $KELMORA_BENCH_TREES (default build-bench/trees), which should be a disk, not tmpfs.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"
cmake -S "$top" -B "$top/build-bench" -DCMAKE_BUILD_TYPE=Release -DKELMORA_BUILD_TESTS=OFF >/dev/null
cmake --build "$top/build-bench" --target scan_bench -j"$(nproc)"
bench=$top/build-bench/bench/scan_bench
trees=${KELMORA_BENCH_TREES:-$top/build-bench/trees}
mkdir -p "$trees"
for spec in "30k 30000 2000 2" "100k 100000 6700 3" "300k 300000 20000 1"; do
    read -r name files folders seed <<<"$spec"
    [[ -d $trees/$name ]] || "$bench" generate "$trees/$name" "$files" "$folders" "$seed"
done
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(uname -r)"
for name in 30k 100k 300k; do "$bench" run "$trees/$name" 7; done
"$bench" cold "$trees/300k" 3
