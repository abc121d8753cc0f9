#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds Kelmora.exe for 64-bit Windows with mingw-w64 (one statically linked program, nothing to
# install beside it) and packs it with its read-me into a portable ZIP archive.
set -euo pipefail
# cmake finds its own files through PATH, which a bare environment (env -i) leaves unexported.
export PATH=${PATH:-/usr/bin:/bin}:/usr/local/sbin:/usr/sbin:/sbin
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" "$top/scripts/packages-windows-build.txt"
build=$top/build-win-release

cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DKELMORA_BUILD_TESTS=OFF
cmake --build "$build" --target kelmora_win32 -j"$(nproc)"
(cd "$build" && cpack -G ZIP >/dev/null)
echo "Built $build/app/win32/Kelmora.exe"
echo "Packed $(ls "$build"/Kelmora-*-win64.zip)"
