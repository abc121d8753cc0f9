#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the benchmarks, generates their trees once (30k, 100k and 300k files with 1% matching,
# 200,000 matching files in 4,000 folders, and a drive: the shapes of /usr and /etc copied as sparse
# files beside a 300k tree) and times every walker and the shown window's scan on them with a warm
# cache, then on the 300k tree and the drive with cold caches where the machine allows (with the
# ways of reading ahead weighed, the window by folders read ahead at once, and the window with and
# without the read-ahead's listings handed over against fd, warm and cold), then Erase and Move
# to bin of 50,000 rows in the window against rm and gio trash.
# Trees go to $KELMORA_BENCH_TREES (default build-bench/trees), which should be a disk, not tmpfs.
# The window shows on a private Xvfb server, as on a desktop; $KELMORA_BENCH_ROUNDS (default 7)
# warm rounds per tree, $KELMORA_BENCH_REMOVAL_ROUNDS (default 3) per removal.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"
"$top/scripts/deps.sh" "$top/scripts/packages-bench.txt"
cmake -S "$top" -B "$top/build-bench" -DCMAKE_BUILD_TYPE=Release -DKELMORA_BUILD_TESTS=OFF >/dev/null
cmake --build "$top/build-bench" --target scan_bench window_bench readahead_bench -j"$(nproc)"
bench=$top/build-bench/bench
trees=${KELMORA_BENCH_TREES:-$top/build-bench/trees}
rounds=${KELMORA_BENCH_ROUNDS:-7}
removalRounds=${KELMORA_BENCH_REMOVAL_ROUNDS:-3}
mkdir -p "$trees"
for spec in "30k 30000 2000 2 1" "100k 100000 6700 3 1" "300k 300000 20000 1 1" \
    "200k-match 200000 4000 4 100"; do
    read -r name files folders seed matching <<<"$spec"
    [[ -d $trees/$name ]] || "$bench/scan_bench" generate "$trees/$name" "$files" "$folders" "$seed" "$matching"
done
# Made under a temporary name and renamed, so that a tree that exists is always whole.
if [[ ! -d $trees/drive ]]; then
    rm -rf "$trees/.drive.tmp"
    "$bench/scan_bench" copy-shape /usr "$trees/.drive.tmp/usr"
    "$bench/scan_bench" copy-shape /etc "$trees/.drive.tmp/etc"
    "$bench/scan_bench" generate "$trees/.drive.tmp/tree" 300000 20000 1 1
    mv "$trees/.drive.tmp" "$trees/drive"
fi
# A desktop's rpm and pacman databases (2,000 packages, 300,000 files), read beside the system's own
# in the 300k tree's rows "engine, + ...".
"$top/bench/make-package-dbs.sh" "$trees/package-dbs"
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(uname -r)"
export QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8 LANG=C.UTF-8
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash -c '
    set -euo pipefail
    bench=$1 trees=$2 rounds=$3 removalRounds=$4
    for name in 30k 100k 200k-match; do "$bench/scan_bench" run "$trees/$name" "$rounds"; done
    KELMORA_BENCH_PACKAGE_DBS=$trees/package-dbs "$bench/scan_bench" run "$trees/300k" "$rounds"
    for name in 300k drive; do "$bench/scan_bench" cold "$trees/$name" 3; done
    for name in 300k drive; do "$bench/scan_bench" handover "$trees/$name" 5; done
    "$bench/readahead_bench" "$trees/300k" 3
    "$bench/scan_bench" scaling "$trees/300k" 3
    "$bench/window_bench" remove "$trees/removal" 50000 "$removalRounds"
' run "$bench" "$trees" "$rounds" "$removalRounds"
