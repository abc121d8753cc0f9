#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Windows window's benchmark (bench/win32, Release, mingw-w64) and runs it under Wine in
# a fresh temporary Wine prefix, with the window shown in a Wine desktop on a private Xvfb:
# - the window's scan of the whole drive C:, with 10,000 matching files planted on it (100
#   folders of 100), against a bare FindFirstFileExW walk of the same drive;
# - Erase of 20,000 selected rows in the window against a DeleteFileW loop over the same files,
#   and Move to bin of 2,000 rows against a SHFileOperationW loop over the same files, each with
#   the longest time the window left the system without an answer.
# Installs what it needs (the Windows build and test package lists). $KELMORA_BENCH_ROUNDS
# (default 7) scan rounds, $KELMORA_BENCH_REMOVAL_ROUNDS (default 3) removal rounds;
# $KELMORA_BENCH_ERASE_FILES and $KELMORA_BENCH_BIN_FILES change the two numbers of rows.
# KELMORA_BENCH_TREE=realistic scans a drive shaped as a user's instead (see "plant" in
# bench/win32/win_bench.cpp: 40,740 files, 19,865 matching, Czech, CJK and emoji names, a folder of
# 1,200 subfolders, paths up to 427 characters); KELMORA_BENCH_REMOVAL_ROUNDS=0 skips the removals.
set -euo pipefail
export PATH=${PATH:-/usr/bin:/bin}:/usr/local/sbin:/usr/sbin:/sbin
top=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=bench/build-windows-bench.sh
source "$top/bench/build-windows-bench.sh"
build_windows_bench win_bench
rounds=${KELMORA_BENCH_ROUNDS:-7}
removalRounds=${KELMORA_BENCH_REMOVAL_ROUNDS:-3}
eraseFiles=${KELMORA_BENCH_ERASE_FILES:-20000}
binFiles=${KELMORA_BENCH_BIN_FILES:-2000}

# shellcheck source=scripts/wine-prefix.sh
source "$top/scripts/wine-prefix.sh"
wine_prefix_on_disk "$build"
wine_desktop 1280x1024

planted=$WINEPREFIX/drive_c/bench-scan
if [[ ${KELMORA_BENCH_TREE:-} == realistic ]]; then
    # A drive as a user's: C: of 40,740 files in all, 19,865 of them planted to match.
    present=$(find "$WINEPREFIX/drive_c" -type f | wc -l)
    wine "$bench" plant 'C:\bench-scan' $((40740 - present)) 19865 427
else
    for folder in $(seq 0 99); do
        mkdir -p "$planted/d$folder"
        (cd "$planted/d$folder" && touch $(printf 'leftover-%d.tmp ' $(seq 0 99)))
    done
fi
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(uname -r), $(wine --version 2>/dev/null)"
echo "drive C: $(find "$WINEPREFIX/drive_c" -type f | wc -l) files in $(find "$WINEPREFIX/drive_c" -type d | wc -l) folders"
wine "$bench" scan "$rounds"
rm -rf "$planted"
trash="Z:${XDG_DATA_HOME//\//\\}\\Trash"
if ((removalRounds > 0)); then
    wine "$bench" remove 'C:\bench-remove' "$eraseFiles" "$binFiles" "$removalRounds" "$trash"
fi
