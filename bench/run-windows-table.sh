#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Times Kelmora.exe's window scanning a whole NTFS volume under Wine from the volume's master file
# table, against the walk of the same volume and against the walk of the same tree copied onto a
# plain folder of drive C:, warm and cold (the system's caches dropped before each cold scan), in
# one interleaved run; then the table reader alone (records a second, bytes a file). Needs root
# (FUSE for ntfs-3g, and dropping the caches); installs the Windows build and test packages.
# $KELMORA_BENCH_TABLE_FILES files (default 300,000: folders of 100, one in 20 matching a mask),
# $KELMORA_BENCH_ROUNDS rounds (default 3).
set -euo pipefail
export PATH=${PATH:-/usr/bin:/bin}:/usr/local/sbin:/usr/sbin:/sbin
top=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=bench/build-windows-bench.sh
source "$top/bench/build-windows-bench.sh"
build_windows_bench table_bench
files=${KELMORA_BENCH_TABLE_FILES:-300000}
rounds=${KELMORA_BENCH_ROUNDS:-3}

# shellcheck source=scripts/wine-prefix.sh
source "$top/scripts/wine-prefix.sh"
wine_prefix_on_disk "$build"
wine_desktop 1280x1024

# The volume: 1 KiB a record and some index blocks a file; its files are empty.
image=$run/bench.img
truncate -s $((files * 3 / 1024 + 256))M "$image"
mkntfs -F -q -f -s 512 -p 0 -H 0 -S 0 "$image" >/dev/null 2>&1
mkdir -p "$run/ntfs"
# With permissions, ntfs-3g gives files security IDs, folders of one mode sharing one, as NTFS
# does for the folders of a tree that inherit one descriptor on Windows.
ntfs-3g -o noatime,permissions "$image" "$run/ntfs"
ntfs_mount=$run/ntfs
for ((d = 0; d * 100 < files; d++)); do
    folder=$run/ntfs/d$((d / 100))/e$((d % 100))
    mkdir -p "$folder"
    (cd "$folder" && touch $(printf 'f%d.dat ' $(seq 0 94)) $(printf 'left%d.tmp ' $(seq 0 4)))
done
mkdir -p "$WINEPREFIX/drive_c/copy"
cp -a "$run/ntfs/." "$WINEPREFIX/drive_c/copy/"
sync
ln -sfn "$run/ntfs" "$WINEPREFIX/dosdevices/e:"
ln -sfn "$image" "$WINEPREFIX/dosdevices/e::"
wine_restart
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(uname -r), $(wine --version 2>/dev/null)"
echo "volume: $(find "$run/ntfs" -type f | wc -l) files in $(find "$run/ntfs" -type d | wc -l) folders"

cold() { sync; echo 3 >/proc/sys/vm/drop_caches; }
for ((round = 0; round < rounds; round++)); do
    for temperature in warm cold; do
        # The order turns each round, so that no way always follows the same one.
        order=(table walk copy)
        ((round % 2)) && order=(copy walk table)
        for way in "${order[@]}"; do
            [[ $temperature == cold ]] && cold
            printf '%s round %d: ' "$temperature" "$round"
            case $way in
            table) wine "$bench" window table 'E:' ;;
            walk) wine "$bench" window walk 'E:' ;;
            copy) wine "$bench" window walk 'C:\copy' ;;
            esac
        done
    done
done
wine "$bench" reader 'E:'
cold
printf 'cold: '
wine "$bench" reader 'E:'
