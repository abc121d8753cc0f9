#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the libFuzzer targets with clang (tests/fuzz) and runs each from a copy of its seed
# corpus for KELMORA_FUZZ_SECONDS seconds (30 unless given), so that a run leaves the repository
# as it was. A crash, leak, timeout or allocation past the limit fails, and its input is kept in
# build-fuzz/findings/.
set -euo pipefail
export PATH=${PATH:-/usr/bin:/bin}:/usr/local/sbin:/usr/sbin:/sbin
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" "$top/scripts/packages.txt" "$top/scripts/packages-fuzz.txt"
build=$top/build-fuzz
seconds=${KELMORA_FUZZ_SECONDS:-30}

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
    -DKELMORA_FUZZ=ON -DKELMORA_BUILD_APP=OFF -DKELMORA_BUILD_TESTS=OFF -DKELMORA_BUILD_BENCH=OFF
cmake --build "$build" -j"$(nproc)" --target kelmora_fuzz_targets

mkdir -p "$build/findings"
for seeds in "$top"/tests/fuzz/*/; do
    target=$(basename "$seeds")
    corpus=$build/corpus/$target
    rm -rf "$corpus" && mkdir -p "$corpus"
    cp "$seeds"* "$corpus/"
    "$build/tests/fuzz/${target}_fuzz" -max_total_time="$seconds" -timeout=10 \
        -artifact_prefix="$build/findings/${target}-" -print_final_stats=1 "$corpus"
done
