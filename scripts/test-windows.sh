#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Cross-builds the core, the Win32 platform layer, the native windows and their tests for 64-bit
# Windows with mingw-w64 and runs the tests under Wine in a fresh temporary Wine prefix that is
# removed at the end: first headless, then the windows' tests on a virtual X server.
set -euo pipefail
# cmake finds its own files through PATH, which a bare environment (env -i) leaves unexported.
export PATH=${PATH:-/usr/bin:/bin}:/usr/local/sbin:/usr/sbin:/sbin
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" "$top/scripts/packages-windows-build.txt" \
    "$top/scripts/packages-windows-test.txt"
jobs=$(nproc)
build=$top/build-win

cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Debug -DKELMORA_BUILD_APP=OFF
cmake --build "$build" -j"$jobs"

# shellcheck source=scripts/wine-prefix.sh
source "$top/scripts/wine-prefix.sh"
wine_prefix_on_disk "$build"

# The first tests need no display: the prefix's null graphics driver, set before its server is
# restarted so that no process of the first boot keeps the display driver it started with.
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
# Drive D:, a volume that Wine reports as FAT32, for the identity tests (as root only).
wine_fat_drive D
# Drive E:, an NTFS volume whose table is read from its device and whose files are walked
# through an ntfs-3g mount, for the master file table tests (as root only); drive F:, the same
# files on a volume as Windows lays out a 4Kn disk with its largest clusters: 4 KiB sectors and
# records, clusters of 2 MiB.
wine_ntfs_drive E
wine_ntfs_drive F 128M -s 4096 -c 2097152
wine_restart

ctest --test-dir "$build" --output-on-failure -j"$jobs" -LE gui

# The windows' tests need a display, started here and stopped at the end.
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
wine_desktop 1024x768
ctest --test-dir "$build" --output-on-failure -L gui
