#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds Kelmora and starts it.
set -euo pipefail
# cmake finds its own files through PATH, which a bare environment (env -i) leaves unexported.
export PATH=${PATH:-/usr/bin:/bin}:/usr/local/sbin:/usr/sbin:/sbin
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"
cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=Release -DKELMORA_BUILD_TESTS=OFF \
    -DKELMORA_BUILD_BENCH=OFF
cmake --build "$top/build" --target kelmora -j"$(nproc)"
exec "$top/build/app/qt/kelmora"
