#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the removal benchmark and times Erase against rm and Move to bin against gio trash on
# fresh files in a new temporary folder below $KELMORA_BENCH_REMOVAL (default build-bench), which
# should be on a disk, not tmpfs; the folder is removed afterwards. Takes ROUNDS (the first
# argument, default 5) rounds of each. KELMORA_BENCH_MODE=names times only the move to the bin of
# files of one name against files of distinct names.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"
"$top/scripts/deps.sh" "$top/scripts/packages-bench.txt"
cmake -S "$top" -B "$top/build-bench" -DCMAKE_BUILD_TYPE=Release -DKELMORA_BUILD_TESTS=OFF >/dev/null
cmake --build "$top/build-bench" --target removal_bench -j"$(nproc)"
base=${KELMORA_BENCH_REMOVAL:-$top/build-bench}
dir=$(mktemp -d "$base/removal.XXXXXX")
trap 'rm -rf "$dir"' EXIT
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(uname -r)"
echo "folder: $dir ($(stat -f -c %T "$dir"))"
"$top/build-bench/bench/removal_bench" "${KELMORA_BENCH_MODE:-run}" "$dir" "${1:-5}"
